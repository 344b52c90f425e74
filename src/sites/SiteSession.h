// How a saved site connects: its address as the bar's would be, and what
// its settings add to a session (TLS where offered, its own transfer
// mode, charset, proxy and key file, the user its log-on type names).
#pragma once

#include "HostAddress.h"
#include "SessionSettings.h"
#include "SiteEntry.h"

// The site's server. An earlier version's site that holds no host is its
// address read as the bar reads one (an unknown scheme is said there).
[[nodiscard]] THostAddress HostAddressOf(const TSiteEntry &site);

// The password its log-on asks for before it connects: "ask" and an FTP
// site's "interactive" ask each time; the others do not.
[[nodiscard]] bool AsksForPassword(const TSiteEntry &site);

// The session the bar made from its address, user and password, as the
// site has it.
void ApplySite(const TSiteEntry &site, TSessionSettings &session);
