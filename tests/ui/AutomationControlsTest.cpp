#include "jobs/SavedOptions.h"
#include "messaging/SpiderInputMsg.h"
#include "queue/JobCompletionAutomation.h"
#include "queue/JobQueue.h"
#include "queue/ProcessRunner.h"
#include "queue/ShutdownComputer.h"
#include "ui/AutomationControls.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>

using namespace queue;

namespace {

struct TSilentPrompts final : TJobQueuePrompts {
    void ShowWarning(const std::string&, const std::string&) override {}
    bool AskYesNo(const std::string&, const std::string&) override { return true; }
};

// Nothing is started and nothing is powered off.
struct TNoProcesses final : TProcessRunner {
    std::unique_ptr<TRunningProcess> Start(const TProcessRequest&, int& Error) override {
        Error = ENOENT;
        return nullptr;
    }
};

struct TNoShutdown final : TShutdownComputer {
    bool ShutdownComputer(std::string& ErrorText) override {
        ErrorText = "refused by the test";
        return false;
    }
};

} // namespace

class AutomationControlsTest : public QObject {
    Q_OBJECT

    QTemporaryDir Data;
    jobs::TSavedOptions Options;
    messaging::TSpiderInputMessageQueue Input;
    TSilentPrompts Prompts;
    TNoProcesses Runner;
    TNoShutdown PowerOff;
    std::unique_ptr<TJobQueue> Queue;
    std::unique_ptr<TJobCompletionAutomation> Automation;
    std::unique_ptr<ui::TAutomationControls> Controls;

  private slots:
    void init() {
        Options.Initialize(Data.path().toStdString() + "/");
        Queue = std::make_unique<TJobQueue>(Input, Options, Prompts);
        Queue->SetQueueShown(true);
        Automation = std::make_unique<TJobCompletionAutomation>(*Queue, Options, Prompts, Runner, PowerOff);
        Controls = std::make_unique<ui::TAutomationControls>(*Automation);
    }
    void cleanup() {
        Controls.reset();
        Automation.reset();
        Queue.reset();
    }

    void clickOnPanelStopsCountdown_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("onLabel"); // the click lands on the text, else on the panel's edge
        QTest::addColumn<QString>("message");
        QTest::newRow("next job, text") << int(TCountdownKind::StartNextJob) << true
                                        << "Starting next job in 5 seconds (click here to cancel)";
        QTest::newRow("shutdown, panel") << int(TCountdownKind::ShutdownComputer) << false
                                         << "Shutting down the computer in 30 seconds (click here to cancel)";
    }
    void clickOnPanelStopsCountdown() {
        QFETCH(int, kind);
        QFETCH(bool, onLabel);
        QFETCH(QString, message);
        QVERIFY(Controls->TimerMessagePanel()->isHidden());
        Automation->StartCountdown(TCountdownKind(kind));
        QVERIFY(!Controls->TimerMessagePanel()->isHidden());
        QCOMPARE(Controls->TimerMessage()->text(), message);
        QWidget* target = onLabel ? static_cast<QWidget*>(Controls->TimerMessage()) : Controls->TimerMessagePanel();
        QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(1, 1));
        QVERIFY(!Automation->CountdownRunning());
        QVERIFY(Controls->TimerMessagePanel()->isHidden());
    }

    void checkBoxSavesSwitch() {
        auto* box = Controls->findChild<QCheckBox*>("RemoveCompletedJobs");
        QVERIFY(!box->isChecked());
        box->click();
        QVERIFY(Automation->Switches().RemoveCompletedJobs);
        QVERIFY(Options.Read(jobs::Settings::RemoveJobOnCompletion));
    }
};

QTEST_MAIN(AutomationControlsTest)
#include "AutomationControlsTest.moc"
