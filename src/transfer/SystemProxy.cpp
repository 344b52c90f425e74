#include "SystemProxy.h"

#include <QByteArray>
#include <QUrl>

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace {

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

std::string Variable(const std::function<std::string(const char *)> &environment, const char *name)
{
    const std::string lower = environment(name);
    if (!lower.empty())
        return lower;
    std::string upper = name;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    return environment(upper.c_str());
}

// "example.com" and ".example.com" cover the domain and all below it; "*"
// every host. A port after an entry is not looked at.
bool Bypassed(const std::string &host, const std::string &noProxy)
{
    const std::string name = Lower(host);
    size_t start = 0;
    while (start <= noProxy.size()) {
        const size_t end = std::min(noProxy.find(',', start), noProxy.size());
        std::string entry = Lower(noProxy.substr(start, end - start));
        start = end + 1;
        entry.erase(0, entry.find_first_not_of(" \t"));
        entry.erase(entry.find_last_not_of(" \t") + 1);
        if (entry.starts_with('[')) {
            entry = entry.substr(1, entry.find(']') - 1);
        } else if (std::count(entry.begin(), entry.end(), ':') == 1) {
            entry.erase(entry.find(':'));
        }
        if (entry == "*")
            return true;
        if (entry.starts_with('.'))
            entry.erase(0, 1);
        if (!entry.empty() && (name == entry || (name.size() > entry.size() && name.ends_with('.' + entry))))
            return true;
    }
    return false;
}

}  // namespace

TSocksInfo SystemProxy(const std::string &host, const std::function<std::string(const char *)> &environment)
{
    const auto read = environment ? environment : [](const char *name) {
        const char *value = std::getenv(name);
        return std::string(value ? value : "");
    };
    TSocksInfo proxy;
    std::string text = Variable(read, "all_proxy");
    if (text.empty())
        text = Variable(read, "http_proxy");
    if (text.empty() || Bypassed(host, Variable(read, "no_proxy")))
        return proxy;
    if (text.find("://") == std::string::npos)
        text = "http://" + text;
    const QUrl url(QString::fromStdString(text), QUrl::StrictMode);
    const std::string scheme = Lower(url.scheme().toStdString());
    const TSocksVersion version = scheme == "http" || scheme == "https" ? svHttpConnect
                                  : scheme == "socks5" || scheme == "socks5h" ? svSocks5
                                  : scheme == "socks4a"                        ? svSocks4A
                                  : scheme == "socks4"                         ? svSocks4
                                                                               : svNoSocks;
    if (!url.isValid() || url.host().isEmpty() || version == svNoSocks)
        return proxy;
    proxy.Version = version;
    proxy.Host = url.host().toStdString();
    proxy.Port = url.port(version == svHttpConnect ? 80 : 1080);
    proxy.UserID = url.userName(QUrl::FullyDecoded).toStdString();
    proxy.Password = url.password(QUrl::FullyDecoded).toStdString();
    proxy.Authentication = !proxy.UserID.empty() && (version == svSocks5 || version == svHttpConnect)
                               ? saUsernamePassword
                               : saNoAuthentication;
    return proxy;
}
