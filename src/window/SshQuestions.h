// What an SSH log-in asks the user, in the window's dialogs: whether to
// trust a server's host key, and each password, passphrase or question of
// the server's.
#pragma once

#include "RemoteSession.h"

class QWidget;

// Unknown: trust once (the default), always, or cancel. Changed: a loud
// warning with both fingerprints, and Cancel the default.
TTrustAnswer AskHostKey(QWidget *owner, const THostKeyQuestion &question);
// False when the user cancels.
bool AskLoginPrompt(QWidget *owner, const TLoginPrompt &prompt, std::string &answer);
