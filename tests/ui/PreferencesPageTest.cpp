#include "jobs/LanguageStrings.h"
#include "jobs/PasswordMgr.h"
#include "jobs/SavedOptions.h"
#include "ui/PasswordsFrame.h"
#include "ui/PreferencesFrame.h"
#include "ui/PreferencesProxyFrame.h"
#include "ui/PreferencesWindow.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <sys/stat.h>

namespace {

struct TRecordingWindow final : ui::TPreferencesWindow {
    QStringList Calls;
    void SetStayOnTop(bool OnTop) override { Calls << QString("StayOnTop %1").arg(OnTop); }
    void SetQueueShown(bool Shown) override { Calls << QString("QueueShown %1").arg(Shown); }
    void SetJobLogEnabled(bool Enabled) override { Calls << QString("JobLog %1").arg(Enabled); }
    void ShowNotice(const QString& Text) override { Calls << "Notice " + Text; }
};

QString Describe(const jobs::TPasswordManager& Store) {
    QStringList entries;
    for (const auto& entry : Store.Entries())
        entries << QString::fromStdString(entry.Host + " " + entry.User + " " + entry.Password);
    return entries.join(", ");
}

} // namespace

class PreferencesPageTest : public QObject {
    Q_OBJECT

    QTemporaryDir Data;
    jobs::TSavedOptions Options;
    jobs::TPasswordManager Store;
    TRecordingWindow Window;
    std::unique_ptr<ui::TPreferencesFrame> Frame;

    std::string StoreFile() const { return jobs::PasswordFileName(Options.DataFolder()); }
    QString FileEntries() const {
        jobs::TPasswordManager file;
        return jobs::LoadPasswords(file, StoreFile()) ? Describe(file) : "unreadable";
    }
    QCheckBox* Check(ui::TPreferencesFrame::TSection Section, int TextNumber) const {
        for (QCheckBox* box : Frame->Section(Section)->findChildren<QCheckBox*>())
            if (box->text().toStdString() == jobs::LocalText(TextNumber)) return box;
        return nullptr;
    }

  private slots:
    void init() {
        QFile::remove(QString::fromStdString(Data.path().toStdString() + "/Harvexis.INI"));
        Options.Initialize(Data.path().toStdString() + "/");
        QFile::remove(QString::fromStdString(StoreFile()));
        Store.Clear();
        Frame = std::make_unique<ui::TPreferencesFrame>(Options, Store, Window);
        Frame->LoadAll();
        Window.Calls.clear();
    }
    void cleanup() { Frame.reset(); }

    // The page adds "a.test", then the runner adds "runner.test" behind its back.
    void passwordChangesKeepTheRunnersEntry_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("saved");
        QTest::addColumn<QString>("expected");
        QTest::newRow("add") << "add" << true << "a.test ann pa, runner.test rob rp, new.test:81 nick np";
        QTest::newRow("edit") << "edit" << true << "runner.test rob rp, a.test amy pb";
        QTest::newRow("remove") << "remove" << true << "runner.test rob rp";
        QTest::newRow("known site refused") << "again" << false << "a.test ann pa, runner.test rob rp";
    }
    void passwordChangesKeepTheRunnersEntry() {
        QFETCH(QString, action);
        QFETCH(bool, saved);
        QFETCH(QString, expected);
        ui::TPasswordsFrame* page = Frame->PasswordsPage();
        QVERIFY(page->AddPassword("a.test", "ann", "pa"));
        QVERIFY(jobs::UpdatePasswordFile(StoreFile(), [](jobs::TPasswordManager& File) {
            return jobs::AddSitePassword(File, "runner.test", "rob", "rp", false) == jobs::TAddPasswordResult::Added;
        }));
        bool result = false;
        if (action == "add") result = page->AddPassword(" HTTP://New.Test:81/x ", "nick", "np");
        if (action == "edit") result = page->EditPassword("a.test", "a.test", "amy", "pb");
        if (action == "remove") result = page->RemovePassword("a.test");
        if (action == "again") result = page->AddPassword("a.test", "other", "po");
        QCOMPARE(result, saved);
        QCOMPARE(FileEntries(), expected);
        QCOMPARE(Describe(Store), expected);
        QCOMPARE(page->PasswordList()->topLevelItemCount(), int(Store.Count()));
        QCOMPARE(Window.Calls.size(), saved ? 0 : 1);
        struct stat info {};
        QCOMPARE(::stat(StoreFile().c_str(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0600u);
    }

    void damagedStoreIsReportedAndKept() {
        const QByteArray damaged = "[Security]\nCount=two\nHost0=a.test\n";
        QFile file(QString::fromStdString(StoreFile()));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(damaged) == damaged.size());
        file.close();
        QVERIFY(!Frame->PasswordsPage()->AddPassword("b.test", "bob", "pb"));
        QCOMPARE(Window.Calls.size(), 1);
        QVERIFY(Window.Calls[0].startsWith("Notice The password store"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), damaged);
    }

    void switchesActAtOnce_data() {
        QTest::addColumn<int>("section");
        QTest::addColumn<int>("text");
        QTest::addColumn<QString>("call");
        QTest::newRow("stay on top") << int(ui::TPreferencesFrame::psGeneral) << 119 << "StayOnTop 1";
        QTest::newRow("job log") << int(ui::TPreferencesFrame::psGeneral) << 125 << "JobLog 0";
        QTest::newRow("show job queue") << int(ui::TPreferencesFrame::psAutomation) << 121 << "QueueShown 1";
    }
    void switchesActAtOnce() {
        QFETCH(int, section);
        QFETCH(int, text);
        QFETCH(QString, call);
        QCheckBox* box = Check(ui::TPreferencesFrame::TSection(section), text);
        QVERIFY(box);
        Window.Calls.clear();
        box->click();
        QVERIFY2(Window.Calls.contains(call), qPrintable(Window.Calls.join("; ")));
    }

    void proxyEntryIsChecked_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("refused");
        QTest::newRow("port 0") << "proxy.test" << "0" << true;
        QTest::newRow("port 65536") << "proxy.test" << "65536" << true;
        QTest::newRow("no port") << "proxy.test" << "" << true;
        QTest::newRow("no address") << "" << "8080" << true;
        QTest::newRow("sound") << "proxy.test" << "8080" << false;
    }
    void proxyEntryIsChecked() {
        QFETCH(QString, address);
        QFETCH(QString, port);
        QFETCH(bool, refused);
        auto* page = static_cast<ui::TPreferencesProxyFrame*>(Frame->Section(ui::TPreferencesFrame::psHTTPProxy));
        QTest::keyClicks(page->AddressEdit(), address);
        QTest::keyClicks(page->PortEdit(), port);
        page->UseProxyServerCheck()->click();
        QCOMPARE(Window.Calls.size(), refused ? 1 : 0);
        QCOMPARE(Options.Read(jobs::Settings::HTTPProxy.UseProxyServer), !refused);
    }
};

QTEST_MAIN(PreferencesPageTest)
#include "PreferencesPageTest.moc"
