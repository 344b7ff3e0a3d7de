#include "ui/ClipboardWatcher.h"

#include "base/AsciiText.h"
#include "web/URLType.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <memory>
#include <sstream>

namespace ui {

namespace {

// What the program puts on the clipboard carries this format besides its text.
constexpr const char* OwnCopyFormat = "application/x-harvexis-own-copy";

} // namespace

std::vector<std::string> ParseClipboardAddresses(const std::string& Text) {
    std::vector<std::string> addresses;
    std::istringstream lines(Text);
    for (std::string line; std::getline(lines, line);) {
        std::string word(base::TrimmedView(std::string_view(line).substr(0, line.find(' ')), " \t\r"));
        if (web::IsValidURLText(word)) addresses.push_back(std::move(word));
    }
    return addresses;
}

void CopyTextToClipboard(const QString& Text) {
    auto mime = std::make_unique<QMimeData>();
    mime->setText(Text);
    mime->setData(OwnCopyFormat, QByteArray("1"));
    QGuiApplication::clipboard()->setMimeData(mime.release());
}

TClipboardWatcher::TClipboardWatcher(QClipboard* Clipboard, std::function<int()> Response, QObject* Parent)
    : QObject(Parent), Clipboard(Clipboard), Response(std::move(Response)) {
    connect(Clipboard, &QClipboard::dataChanged, this, &TClipboardWatcher::OnDrawClipboard);
}

void TClipboardWatcher::OnDrawClipboard() {
    if (IgnoreNext) {
        IgnoreNext = false;
        return;
    }
    const QMimeData* mime = Clipboard->mimeData();
    if (!Armed || !mime || mime->hasFormat(OwnCopyFormat) || !mime->hasText()) return;
    const int response = Response();
    if (response != crPrompt && response != crCreate) return;
    const std::vector<std::string> addresses = ParseClipboardAddresses(mime->text().toStdString());
    if (addresses.size() == 1) {
        if (addresses.front() == LastClipboardAddress) return;
        LastClipboardAddress = addresses.front();
        const QString address = QString::fromStdString(LastClipboardAddress);
        if (response == crPrompt) emit OfferAddress(address);
        else emit QueueAddresses({address});
    } else if (addresses.size() > 1 && response == crCreate) {
        QStringList all;
        for (const auto& address : addresses) all << QString::fromStdString(address);
        emit QueueAddresses(all);
    }
}

} // namespace ui
