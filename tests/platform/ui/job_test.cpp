// The job guard over plain widgets: what it holds off during a job, what it
// lets through (the job's Cancel, windows the job opens) and that everything
// is as before once the job ends.
#include "platform/ui/job.h"

#include "platform/ui/scripted.h"
#include "platform/ui/ui.h"

#include <QAction>
#include <QCoreApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

namespace {

struct Window {
    std::unique_ptr<QWidget> w = std::make_unique<QWidget>();
    QPushButton* button = new QPushButton(QStringLiteral("Go"), w.get());
    QPushButton* cancel = new QPushButton(QStringLiteral("Cancel"), w.get());
    QLineEdit* edit = new QLineEdit(w.get());
    QAction* command = new QAction(QStringLiteral("Command"), w.get());
    int clicks = 0;
    int cancels = 0;
    int commands = 0;

    Window()
    {
        auto* l = new QVBoxLayout(w.get());
        l->addWidget(button);
        l->addWidget(cancel);
        l->addWidget(edit);
        QObject::connect(button, &QPushButton::clicked, [this] { ++clicks; });
        QObject::connect(cancel, &QPushButton::clicked, [this] { ++cancels; });
        QObject::connect(command, &QAction::triggered, [this] { ++commands; });
        w->show();
    }

    /// Presses everything once, by the mouse, by the keys and by code.
    void pressAll()
    {
        QTest::mouseClick(button, Qt::LeftButton);
        button->click();
        command->trigger();
        QTest::keyClicks(edit, QStringLiteral("x"));
        QTest::mouseClick(cancel, Qt::LeftButton);
    }
};

class JobGuardTest : public ::testing::Test {
protected:
    ui::ScriptedHandler ui{[](const QString& m) { ADD_FAILURE() << m.toStdString(); }};
};

TEST_F(JobGuardTest, OnlyTheCancelAndNewWindowsTakeInputDuringAJob)
{
    Window before;
    {
        const ui::JobScope job{before.cancel};
        EXPECT_TRUE(ui::jobRunning());
        before.pressAll();
        EXPECT_EQ(before.clicks, 0);
        EXPECT_EQ(before.commands, 0);
        EXPECT_EQ(before.edit->text(), QString());
        EXPECT_EQ(before.cancels, 1);   // the job's own Cancel works

        Window opened;   // a box the job shows: as usual
        opened.pressAll();
        EXPECT_EQ(opened.clicks, 2);
        EXPECT_EQ(opened.commands, 1);
        EXPECT_EQ(opened.edit->text(), QStringLiteral("x"));
    }
    EXPECT_FALSE(ui::jobRunning());
    before.pressAll();
    EXPECT_EQ(before.clicks, 2);
    EXPECT_EQ(before.commands, 1);
    EXPECT_EQ(before.edit->text(), QStringLiteral("x"));
}

TEST_F(JobGuardTest, EveryPumpIsAJobAndSignalsBlockedBeforeStayBlocked)
{
    Window before;
    before.command->blockSignals(true);   // blocked by its owner: the guard must not free it
    bool runningInside = false;
    ui.onProcessEvents([&] {
        runningInside = ui::jobRunning();
        before.pressAll();
    });
    ui::doEvents();
    ui.onProcessEvents({});
    EXPECT_TRUE(runningInside);
    EXPECT_EQ(before.clicks, 0);
    EXPECT_EQ(before.cancels, 0);   // no job named it: a pump takes no input at all
    EXPECT_FALSE(ui::jobRunning());
    EXPECT_TRUE(before.command->signalsBlocked());
    EXPECT_FALSE(before.button->signalsBlocked());

    // Nested: the inner end does not free what the outer job holds.
    {
        const ui::JobScope outer;
        { const ui::JobScope inner; }
        before.button->click();
        EXPECT_EQ(before.clicks, 0);
        EXPECT_TRUE(ui::jobRunning());
    }
    before.button->click();
    EXPECT_EQ(before.clicks, 1);
}

TEST_F(JobGuardTest, ACloseBoxDuringAJobAsksToWaitButTheCancelsWindowCloses)
{
    Window plain;
    Window withCancel;
    {
        const ui::JobScope job{withCancel.cancel};
        EXPECT_FALSE(plain.w->close());
        EXPECT_TRUE(plain.w->isVisible());
        ASSERT_EQ(ui.shown().size(), 1);
        EXPECT_EQ(ui.shown()[0].kind, ui::ScriptedHandler::Kind::Notice);
        EXPECT_EQ(ui.shown()[0].text, ui::jobWaitMessage());
        EXPECT_EQ(ui.shown()[0].style, ui::vbInformation + ui::vbOKOnly);
        // While it is up, another close brings no second box.
        EXPECT_FALSE(plain.w->close());
        EXPECT_EQ(ui.shown().size(), 1);
        ui.closeNotices();
        EXPECT_FALSE(plain.w->close());
        EXPECT_EQ(ui.noticeTexts(), QStringList({ui::jobWaitMessage(), ui::jobWaitMessage()}));

        // Escape goes to the Cancel's window only.
        int escapes = 0;
        struct EscapeCounter : QObject {
            int* n;
            explicit EscapeCounter(int* count) : n(count) {}
            bool eventFilter(QObject*, QEvent* e) override
            {
                if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape)
                    ++*n;
                return false;
            }
        } counter(&escapes);
        plain.edit->installEventFilter(&counter);
        withCancel.edit->installEventFilter(&counter);
        QTest::keyClick(plain.edit, Qt::Key_Escape);
        EXPECT_EQ(escapes, 0);
        QTest::keyClick(withCancel.edit, Qt::Key_Escape);
        EXPECT_EQ(escapes, 1);

        EXPECT_TRUE(withCancel.w->close());   // its close box is the job's Cancel
        ui::ScriptedHandler none([](const QString& m) { ADD_FAILURE() << m.toStdString(); });
        QWidget opened;
        opened.show();
        EXPECT_TRUE(opened.close());
    }
    EXPECT_TRUE(plain.w->close());
    EXPECT_EQ(ui.shown().size(), 2);
}

// With the desktop's own boxes: the wait message that a close during a job
// brings up is left open, and the job goes on and ends as it would have.
TEST(JobWaitBox, TheJobRunsOnWhileTheWaitBoxIsUp)
{
    auto openBoxes = [] {
        QList<QMessageBox*> out;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
                out << box;
        return out;
    };
    QWidget window;
    window.show();
    // A box that waits for its answer would hold the job inside its own
    // loop: after a while this closes it, and the test sees that it had to.
    bool rescued = false;
    QTimer rescue;
    QObject::connect(&rescue, &QTimer::timeout, [&] {
        for (QMessageBox* box : openBoxes()) {
            rescued = true;
            box->done(QMessageBox::Ok);
        }
    });
    rescue.start(500);

    constexpr int kSteps = 200;
    qint64 sum = 0;
    int stepsWhileUp = 0;
    {
        const ui::JobScope job;
        for (int i = 1; i <= kSteps; ++i) {
            if (i == 10 || i == 20) {
                QCoreApplication::postEvent(&window, new QCloseEvent);
            }
            ui::doEvents();
            sum += i;
            if (!openBoxes().isEmpty())
                ++stepsWhileUp;
        }
        rescue.stop();
        EXPECT_FALSE(rescued) << "the job stood still until its wait box was answered";
        const QList<QMessageBox*> boxes = openBoxes();
        ASSERT_EQ(boxes.size(), 1) << "the second close showed a second box";
        EXPECT_EQ(boxes[0]->text(), ui::jobWaitMessage());
        EXPECT_EQ(boxes[0]->icon(), QMessageBox::Information);
        EXPECT_FALSE(boxes[0]->isModal());
    }
    EXPECT_EQ(sum, qint64(kSteps) * (kSteps + 1) / 2);
    EXPECT_GE(stepsWhileUp, kSteps - 11);
    EXPECT_TRUE(window.isVisible());
    // Its OK takes it away; the window closes again once the job is over.
    QList<QMessageBox*> boxes = openBoxes();
    ASSERT_EQ(boxes.size(), 1);
    QTest::mouseClick(boxes[0]->button(QMessageBox::Ok), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(openBoxes().isEmpty());
    EXPECT_TRUE(window.close());
}

TEST_F(JobGuardTest, AReactionDeferredDuringAJobRunsOnceAfterIt)
{
    QObject context;
    int runs = 0;
    {
        const ui::JobScope job;
        ui::whenNoJob(&context, [&] { ++runs; });
        ui::doEvents();
        QCoreApplication::processEvents();
        EXPECT_EQ(runs, 0);
    }
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(runs, 1);
    {
        auto gone = std::make_unique<QObject>();
        const ui::JobScope job;
        ui::whenNoJob(gone.get(), [&] { ++runs; });
    }   // the job ends, then its context goes before the call runs: nothing happens
    QCoreApplication::processEvents();
    EXPECT_EQ(runs, 1);
}

}  // namespace
