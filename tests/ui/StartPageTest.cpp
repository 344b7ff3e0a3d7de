#include "jobs/SavedOptions.h"
#include "messaging/SpiderInputMsg.h"
#include "queue/JobQueue.h"
#include "ui/FileTypesListBuilder.h"
#include "ui/StartFrame.h"
#include "ui/StartingAddressPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

namespace {

struct TRecordingPrompts final : queue::TJobQueuePrompts {
    void ShowWarning(const std::string&, const std::string& Text) override { Shown << QString::fromStdString(Text); }
    bool AskYesNo(const std::string&, const std::string&) override { return true; }
    QStringList Shown;
};

QByteArray FileBytes(const QString& Path) {
    QFile file(Path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class StartPageTest : public QObject {
    Q_OBJECT

    QTemporaryDir Data;
    jobs::TSavedOptions Options;
    messaging::TSpiderInputMessageQueue Input;
    TRecordingPrompts Prompts;
    std::unique_ptr<queue::TJobQueue> Queue;
    std::unique_ptr<ui::TStartFrame> Page;
    const QString Golden = QStringLiteral(HARVEXIS_SOURCE_DIR "/tests/data/jobfile/golden.hcj");

    ui::TStartingAddressPage& Start() { return *Page->StartingAddressPage(); }
    void Type(QComboBox* Box, const QString& Text) {
        Box->lineEdit()->clear();
        QTest::keyClicks(Box->lineEdit(), Text);
    }

  private slots:
    void init() {
        Options.Initialize(Data.path().toStdString() + "/");
        Queue = std::make_unique<queue::TJobQueue>(Input, Options, Prompts);
        Queue->SetQueueShown(true);
        Page = std::make_unique<ui::TStartFrame>(*Queue, Options, Prompts);
        Page->Initialize();
        Prompts.Shown.clear();
    }
    void cleanup() {
        Page.reset();
        Queue.reset();
    }

    void loadedJobShowsAndSavesBackUnchanged() {
        QVERIFY(Page->LoadJobFile(Golden.toStdString()));
        QCOMPARE(Page->findChild<QLineEdit*>("JobName")->text(), QStringLiteral("N"));
        QCOMPARE(Start().FolderBox()->currentText(), QStringLiteral("/tmp/x"));
        QVERIFY(Start().AddressBox()->currentText().startsWith("https://"));
        const QString saved = Data.filePath("saved.hcj");
        QVERIFY(Page->SaveJobFile(saved.toStdString()));
        QCOMPARE(FileBytes(saved), FileBytes(Golden));
    }

    void resetGivesJobDefaults() {
        QVERIFY(Page->LoadJobFile(Golden.toStdString()));
        jobs::TCopyJob expected = Page->CurrentJob();
        expected.Reset();
        Page->findChild<QPushButton*>("ResetJobButton")->click();
        Page->StorePages();
        QCOMPARE(Page->CurrentJob(), expected);
    }

    void refusedJobStaysAsTyped_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("folder"); // "@" stands for the test's own folder
        QTest::addColumn<QString>("message");
        QTest::newRow("invalid address") << "ht!tp:/x" << "@" << "ht!tp:/x is an invalid starting address.";
        QTest::newRow("root folder") << "http://127.0.0.1:9/" << "/"
                                     << "A drive root folder cannot be used as a destination folder.";
        QTest::newRow("folder under a file") << "http://127.0.0.1:9/" << "@/settings/sub" << "Unable to create folder.";
    }
    void refusedJobStaysAsTyped() {
        QFETCH(QString, address);
        QFETCH(QString, folder);
        QFETCH(QString, message);
        QFile(Data.filePath("settings")).open(QIODevice::WriteOnly);
        folder.replace("@", Data.path());
        Type(Start().AddressBox(), address);
        Type(Start().FolderBox(), folder);
        Prompts.Shown.clear();
        QCOMPARE(Page->AddJobToQueue(), ui::TQueueAnswer::Refused);
        QCOMPARE(Prompts.Shown.value(0), message);
        QCOMPARE(Queue->Count(), 0);
        QCOMPARE(Start().AddressBox()->currentText(), address);
        QCOMPARE(Start().FolderBox()->currentText(), folder);
    }

    void enterQueuesTheJob() {
        Page->show();
        QVERIFY(QTest::qWaitForWindowActive(Page.get()));
        Start().AddressBox()->setFocus();
        Type(Start().AddressBox(), "http://127.0.0.1:9/");
        Type(Start().FolderBox(), Data.path());
        QTest::keyClick(Start().AddressBox()->lineEdit(), Qt::Key_Return);
        QCOMPARE(Queue->Count(), 1);
    }

    void httpsAddressSwitchesHttpsOn_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("https");
        QTest::newRow("https") << "HTTPS://127.0.0.1:9/" << true;
        QTest::newRow("http") << "http://127.0.0.1:9/" << false;
    }
    void httpsAddressSwitchesHttpsOn() {
        QFETCH(QString, address);
        QFETCH(bool, https);
        Type(Start().AddressBox(), address);
        QCOMPARE(Page->findChild<QCheckBox*>("DownloadHTTPS")->isChecked(), https);
    }

    // The job's list comes back as it went in; toggling a category adds or removes its types.
    void listBuilderRoundTrips_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("list");
        QTest::addColumn<int>("category");
        QTest::addColumn<QString>("toggled");
        QTest::newRow("uncheck images") << int(ui::bmExtensions) << ".jpg, .gif, .txt" << 0 << ".txt";
        QTest::newRow("check images") << int(ui::bmExtensions) << ".txt" << 0
                                      << ".txt, .jpg, .jpeg, .gif, .png, .bmp";
        QTest::newRow("uncheck web pages") << int(ui::bmMimeTypes) << "application/zip, text/html*" << 6
                                           << "application/zip";
    }
    void listBuilderRoundTrips() {
        QFETCH(int, mode);
        QFETCH(QString, list);
        QFETCH(int, category);
        QFETCH(QString, toggled);
        ui::TFileTypesListBuilder builder;
        builder.Prepare(static_cast<ui::TBuilderMode>(mode), list);
        QCOMPARE(builder.List(), list);
        QTreeWidgetItem* item = builder.CategoriesView()->topLevelItem(category);
        const Qt::CheckState before = item->checkState(0);
        item->setCheckState(0, before == Qt::Checked ? Qt::Unchecked : Qt::Checked);
        QCOMPARE(builder.List(), toggled);
        if (before == Qt::Checked) return; // checking again appends the whole category
        item->setCheckState(0, before);
        QCOMPARE(builder.List(), list);
    }
};

QTEST_MAIN(StartPageTest)
#include "StartPageTest.moc"
