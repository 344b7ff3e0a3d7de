#include "engine/InternetSettings.h"

#include "base/AsciiText.h"
#include "jobs/DownloadOptionTypes.h"

namespace engine {

TInternetClientSettings ReadInternetClientSettings(const jobs::TSavedOptions& Options) {
    TInternetClientSettings settings;
    settings.ExtraCAFile = base::TrimControls(Options.Read(ExtraCAFileSetting));
    return settings;
}

bool ProxyInUse(const jobs::TProxyServerInfo& Proxy) {
    return Proxy.UseProxyServer && !base::TrimControls(Proxy.Address).empty();
}

bool UsesCERNProxy(const jobs::TProxyServerInfo& FTPProxy) {
    const std::string address = base::TrimControls(FTPProxy.Address);
    return ProxyInUse(FTPProxy) && !base::SameTextAscii(std::string_view(address).substr(0, 6), "ftp://");
}

std::string ProxyHostPort(const jobs::TProxyServerInfo& Proxy) {
    return base::TrimControls(Proxy.Address) + ":" + std::to_string(Proxy.Port);
}

std::string CurlNoProxyList(const std::string& Bypass) {
    std::string list;
    std::string item;
    auto flush = [&] {
        if (!item.empty() && item != "<local>") list += (list.empty() ? "" : ",") + item;
        item.clear();
    };
    for (char c : Bypass) {
        if (c == ';' || c == ',' || c == ' ' || c == '\t') flush();
        else item += c;
    }
    flush();
    return list;
}

void ApplyLocalProxyBypass(const jobs::TSavedOptions& Options, jobs::TProxyServerInfo& HTTP,
                           jobs::TProxyServerInfo& FTP) {
    if (Options.Read(jobs::Settings::HTTPProxy.AllowLocalBypass)) HTTP.ProxyBypass = LocalProxyBypass;
    if (Options.Read(jobs::Settings::FTPProxy.AllowLocalBypass)) FTP.ProxyBypass = LocalProxyBypass;
}

} // namespace engine
