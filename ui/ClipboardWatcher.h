#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <string>
#include <vector>

class QClipboard;

namespace ui {

// The web addresses in copied text: of each line the part before its first
// blank, kept when it is a valid web address.
std::vector<std::string> ParseClipboardAddresses(const std::string& Text);

// Puts Text on the clipboard marked as the program's own, so the watcher
// does not take it for an address the user copied elsewhere.
void CopyTextToClipboard(const QString& Text);

// Watches the clipboard for web addresses copied elsewhere and, as the
// "ClipboardResponse" setting says, offers one as a new job or queues them.
class TClipboardWatcher final : public QObject {
    Q_OBJECT

  public:
    enum TResponse { crIgnore = 0, crPrompt = 1, crCreate = 2 };

    // Response reads the setting at each change (nothing is cached).
    TClipboardWatcher(QClipboard* Clipboard, std::function<int()> Response, QObject* Parent = nullptr);

    // From now on changes count; the content at start is not new.
    void Arm() { Armed = true; }
    void IgnoreNextClipboardChange() { IgnoreNext = true; }

  signals:
    // One new address with the prompt response: offer it as a new job.
    void OfferAddress(const QString& Address);
    // The create response: queue these, in order, until the queue is full.
    void QueueAddresses(const QStringList& Addresses);

  private:
    void OnDrawClipboard();

    QClipboard* Clipboard;
    std::function<int()> Response;
    bool Armed = false;
    bool IgnoreNext = false;
    std::string LastClipboardAddress;
};

} // namespace ui
