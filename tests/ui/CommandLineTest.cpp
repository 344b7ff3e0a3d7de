#include "ui/ClipboardWatcher.h"
#include "ui/CommandLine.h"

#include <QTemporaryDir>
#include <QtTest>

#include <fstream>

using namespace ui;

namespace {

// Records each call as "verb name" (files by their name only); refuses job
// files whose name starts with "bad" and answers a full queue for "full" addresses.
struct TRecordingTarget final : TOpenTarget {
    QStringList Calls;
    bool StartCurrent = false;

    static QString Name(const std::string& Path) { return QString::fromStdString(Path).section('/', -1); }
    bool AddJobFile(const std::string& Path) override {
        Calls << "queue " + Name(Path);
        return !Name(Path).startsWith("bad");
    }
    TQueueAnswer CopyAddressNow(const std::string& Address) override {
        Calls << "copy " + QString::fromStdString(Address);
        return Address.find("full") != std::string::npos ? TQueueAnswer::QueueFull : TQueueAnswer::Added;
    }
    void LoadJobFile(const std::string& Path) override { Calls << "edit " + Name(Path); }
    void NewJobFromAddress(const std::string& Address) override { Calls << "new " + QString::fromStdString(Address); }
    void ReportInvalidParameter(const std::string& Parameter) override { Calls << "invalid " + Name(Parameter); }
    bool StartPageCurrent() const override { return StartCurrent; }
};

} // namespace

class CommandLineTest : public QObject {
    Q_OBJECT

    QTemporaryDir Dir;

    void Write(const char* Name, const char* Text) { std::ofstream(Dir.filePath(Name).toStdString()) << Text; }
    // Names in the temporary folder become paths; everything else stays as written.
    std::vector<std::string> Paths(const QStringList& Params) {
        std::vector<std::string> paths;
        for (const QString& param : Params)
            paths.push_back(QFile::exists(Dir.filePath(param)) ? Dir.filePath(param).toStdString() : param.toStdString());
        return paths;
    }

  private slots:
    void initTestCase() {
        for (const char* name : {"a.hcj", "B.HCJ", "bad.hcj", "notes.txt"}) Write(name, "");
        Write("site.url", "[InternetShortcut]\r\nURL=http://127.0.0.1:9/u/\r\n");
        Write("full.url", "[InternetShortcut]\nURL=http://127.0.0.1:9/full/\n");
        Write("empty.url", "[InternetShortcut]\nIconIndex=0\n");
        Write("link.desktop", "[Desktop Entry]\nType=Link\nURL=http://127.0.0.1:9/d/\n");
        Write("app.desktop", "[Desktop Entry]\nType=Application\nURL=http://127.0.0.1:9/x/\n");
    }

    void processCommandLine_data() {
        QTest::addColumn<QStringList>("params");
        QTest::addColumn<QStringList>("calls");
        auto row = [](const char* Name, QStringList Params, QStringList Calls) {
            QTest::newRow(Name) << Params << Calls;
        };
        row("job file", {"a.hcj"}, {"queue a.hcj"});
        row("extension in capitals", {"B.HCJ"}, {"queue B.HCJ"});
        row("edit anywhere", {"a.hcj", "--EDIT"}, {"edit a.hcj"});
        row("internet shortcut", {"site.url"}, {"copy http://127.0.0.1:9/u/"});
        row("shortcut edited", {"--edit", "site.url"}, {"new http://127.0.0.1:9/u/"});
        row("shortcut without address", {"empty.url"}, {});
        row("link desktop file", {"link.desktop"}, {"copy http://127.0.0.1:9/d/"});
        row("application desktop file", {"app.desktop"}, {});
        row("other file", {"notes.txt"}, {});
        row("bare address", {"http://127.0.0.1:9/p/"}, {"copy http://127.0.0.1:9/p/"});
        row("bare address edited", {"--edit", "ftp://127.0.0.1:9/"}, {"new ftp://127.0.0.1:9/"});
        row("switches skipped", {"--runonce", "--eventlog"}, {});
        row("slash is a path", {"/edit", "a.hcj"}, {"invalid edit", "queue a.hcj"});
        row("no address", {"site", "a.hcj"}, {"invalid site", "queue a.hcj"});
        row("refusal ends only its own file", {"bad.hcj", "a.hcj"}, {"queue bad.hcj", "queue a.hcj"});
    }
    void processCommandLine() {
        QFETCH(QStringList, params);
        QFETCH(QStringList, calls);
        TRecordingTarget target;
        ProcessCommandLine(Paths(params), target);
        QCOMPARE(target.Calls, calls);
    }

    void openDroppedFiles_data() {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<bool>("startPageCurrent");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("one on the Start page") << QStringList{"a.hcj"} << true << QStringList{"edit a.hcj"};
        QTest::newRow("one elsewhere") << QStringList{"a.hcj"} << false << QStringList{"queue a.hcj"};
        QTest::newRow("two on the Start page") << QStringList{"a.hcj", "site.url"} << true
                                               << QStringList{"queue a.hcj", "copy http://127.0.0.1:9/u/"};
        QTest::newRow("refused file ends the drop") << QStringList{"bad.hcj", "a.hcj"} << false
                                                    << QStringList{"queue bad.hcj"};
        QTest::newRow("full queue ends the drop") << QStringList{"full.url", "a.hcj"} << false
                                                  << QStringList{"copy http://127.0.0.1:9/full/"};
    }
    void openDroppedFiles() {
        QFETCH(QStringList, files);
        QFETCH(bool, startPageCurrent);
        QFETCH(QStringList, calls);
        TRecordingTarget target;
        target.StartCurrent = startPageCurrent;
        OpenFiles(Paths(files), TOpenMode::Dropped, target);
        QCOMPARE(target.Calls, calls);
    }

    void clipboardAddresses_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("addresses");
        QTest::newRow("address and words") << QStringLiteral("http://127.0.0.1:9/a/ see this") << QStringList{"http://127.0.0.1:9/a/"};
        QTest::newRow("lines") << QStringLiteral("intro\r\nhttp://127.0.0.1:9/b/\r\nftp://127.0.0.1:9/c/")
                               << QStringList{"http://127.0.0.1:9/b/", "ftp://127.0.0.1:9/c/"};
        QTest::newRow("prose") << QStringLiteral("copy web sites") << QStringList{};
    }
    void clipboardAddresses() {
        QFETCH(QString, text);
        QFETCH(QStringList, addresses);
        QStringList found;
        for (const auto& address : ParseClipboardAddresses(text.toStdString())) found << QString::fromStdString(address);
        QCOMPARE(found, addresses);
    }
};

QTEST_MAIN(CommandLineTest)
#include "CommandLineTest.moc"
