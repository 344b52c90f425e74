#include "MaskSearch.h"

void TMaskSearch::SetMask(const QString &mask)
{
    FPatterns.clear();
    // A missing final ";" is implied; blanks stay part of a piece.
    const QStringList pieces = mask.split(';');
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (i == pieces.size() - 1 && pieces[i].isEmpty())
            break;
        FPatterns.append(pieces[i].toLower());
    }
    if (FPatterns.isEmpty())
        FPatterns.append(QStringLiteral("*"));
    FPatterns.sort();
}

bool TMaskSearch::Matches(const QString &path) const
{
    QString text = path.toLower();
    if (!text.contains('.'))
        text += '.';
    for (const QString &pattern : FPatterns)
        if (MatchPattern(pattern, text))
            return true;
    return false;
}

bool TMaskSearch::MatchPattern(const QString &pattern, const QString &text)
{
    if (pattern.isEmpty())
        return false;
    if (pattern == "*")
        return true;
    if (pattern == "*.*")
        return text.contains('.');
    if (!pattern.contains('*') && !pattern.contains('?'))
        return pattern == text;

    // Tokens: each "*", each "?", and each run of other characters.
    QStringList tokens;
    for (qsizetype i = 0; i < pattern.size();) {
        if (pattern[i] == '*' || pattern[i] == '?') {
            tokens.append(pattern.mid(i, 1));
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < pattern.size() && pattern[end] != '*' && pattern[end] != '?')
            ++end;
        tokens.append(pattern.mid(i, end - i));
        i = end;
    }

    qsizetype position = 0;
    bool star = false;
    for (qsizetype t = 0; t < tokens.size(); ++t) {
        const QString &token = tokens[t];
        if (token == "?") {
            if (++position > text.size())
                return false;
        } else if (token == "*") {
            star = true;
        } else if (star) {
            if (t == tokens.size() - 1)
                return text.endsWith(token) && text.size() - token.size() >= position;
            const qsizetype found = text.indexOf(token, position);
            if (found < 0)
                return false;
            position = found + token.size();
            star = false;
        } else {
            if (text.mid(position, token.size()) != token)
                return false;
            position += token.size();
        }
    }
    return star || position == text.size();
}
