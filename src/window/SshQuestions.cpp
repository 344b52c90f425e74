#include "SshQuestions.h"

#include "RemoteName.h"
#include "UserDialogs.h"

namespace {

// "SHA256:" and its digest on a line of its own: the box is narrower than
// both, and the digest is what the user compares.
QString Fingerprint(const std::string &text)
{
    QString fingerprint = QString::fromStdString(text);
    return fingerprint.replace(QStringLiteral("SHA256:"), QStringLiteral("SHA256:\n"));
}

}  // namespace

TTrustAnswer AskHostKey(QWidget *owner, const THostKeyQuestion &question)
{
    const QString server = QStringLiteral("%1:%2").arg(QString::fromStdString(question.Host)).arg(question.Port);
    const QString key = QStringLiteral("Key type: %1\nFingerprint: %2")
                            .arg(QString::fromStdString(question.KeyType), Fingerprint(question.Fingerprint));
    TChoiceQuestion choice;
    choice.Answers = {"Trust &Once", "Trust &Always", "&Cancel"};
    choice.Escape = 2;
    if (question.TrustedFingerprint.empty()) {
        choice.Text = "The host key of " + server + " is not known.";
        choice.Details = key + "\n\nTrust it only if it is the fingerprint the server's administrator gave you.";
        choice.Default = 0;
    } else {
        choice.Text = "WARNING: the host key of " + server + " has changed!";
        choice.Details = key + "\nTrusted before: " + Fingerprint(question.TrustedFingerprint) +
                         "\n\nSomeone may be posing as the server to read what you send, or the server was set up "
                         "anew. Go on only if its administrator told you of a new key.";
        choice.Default = 2;
        choice.Warning = true;
    }
    switch (UserDialogs().Choose(owner, choice).Answer) {
    case 0:
        return TTrustAnswer::TrustOnce;
    case 1:
        return TTrustAnswer::TrustAlways;
    default:
        return TTrustAnswer::Cancel;
    }
}

bool AskLoginPrompt(QWidget *owner, const TLoginPrompt &prompt, std::string &answer)
{
    // The server's words as it sent them (its bytes, shown as text).
    QString text = RemoteDisplayName(prompt.Text);
    if (!prompt.Instruction.empty())
        text = RemoteDisplayName(prompt.Instruction) + "\n\n" + text;
    const QString title = prompt.Title.empty() ? QStringLiteral("Log-in") : RemoteDisplayName(prompt.Title);
    QString value;
    const bool answered = prompt.Echo ? UserDialogs().InputQuery(owner, title, text, value)
                                      : UserDialogs().AskSecret(owner, title, text, value);
    if (answered)
        answer = value.toStdString();
    return answered;
}
