#pragma once

#include "driven_clock.h"
#include "form_names.h"
#include "gui/main_window.h"
#include "gui/report_preview.h"
#include "sim/simulator.h"
#include "temp_dir.h"
#include "wait_for.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace pmv::test {

// A caption as the user reads it: without the "&" that marks its accelerator key.
inline QString Caption(const QString& text) { return QString(text).remove('&'); }

// Answers the window's modal boxes as a user would, by clicking their buttons, and keeps what
// they said. A box stands `thinkMs` before its answer. With `decide` set, a box gets the button
// `decide` names or, when it names none the box has, Enter, as a hurried user does; without it,
// Ok where the box has one, else Yes with `yesToAll`, else the scripted answers (No once the
// script runs out). File dialogs get the scripted paths (cancelled once the script runs out).
class BoxAnswerer {
public:
    struct Box {
        QString text, caption;
        QMessageBox::Icon icon;
        QStringList buttons;
        QString detail{};
        QString defaultButton{};
    };

    BoxAnswerer()
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] { Answer(); });
        timer_.start(5);
    }

    std::vector<Box> boxes;
    std::deque<QMessageBox::StandardButton> answers;
    bool yesToAll = false;
    std::function<QMessageBox::StandardButton(const QString& text)> decide;
    int thinkMs = 0;
    std::deque<QString> files;
    int fileDialogs = 0;
    QStringList offered;  // the name each file dialog offered before one was chosen

    bool Saw(const char* part) const
    {
        return std::any_of(boxes.begin(), boxes.end(),
                           [&](const Box& b) { return b.text.contains(QString::fromUtf8(part)); });
    }

private:
    void Answer()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal); box && box->isVisible()) {
            if (box != current_) {
                current_ = box;
                shown_.start();
                Box seen{box->text(), box->windowTitle(), box->icon(), {}};
                for (QAbstractButton* b : box->buttons())
                    seen.buttons << b->text();
                seen.detail = box->informativeText();
                if (QAbstractButton* d = box->defaultButton())
                    seen.defaultButton = d->text().remove('&');
                boxes.push_back(seen);
            }
            if (shown_.elapsed() < thinkMs)
                return;
            current_ = nullptr;
            const QMessageBox::StandardButton answer = Choose(*box);
            if (QAbstractButton* b = answer != QMessageBox::NoButton ? box->button(answer) : nullptr)
                b->click();
            else
                QTest::keyClick(box, Qt::Key_Return);
        } else if (auto* dialog = qobject_cast<QFileDialog*>(modal); dialog && dialog->isVisible()) {
            ++fileDialogs;
            offered << QFileInfo(dialog->selectedFiles().value(0)).fileName();
            if (files.empty()) {
                dialog->reject();
                return;
            }
            dialog->selectFile(files.front());
            files.pop_front();
            static_cast<QDialog*>(dialog)->accept();
        }
    }

    QMessageBox::StandardButton Choose(const QMessageBox& box)
    {
        if (decide)
            return decide(box.text());
        if (box.button(QMessageBox::Ok))
            return QMessageBox::Ok;
        if (yesToAll)
            return QMessageBox::Yes;
        if (answers.empty())
            return QMessageBox::No;
        const QMessageBox::StandardButton answer = answers.front();
        answers.pop_front();
        return answer;
    }

    QTimer timer_;
    QPointer<QMessageBox> current_;
    QElapsedTimer shown_;
};

// Waits for the report preview to be shown modally, lets the test act on it, then closes it.
class PreviewCatcher {
public:
    explicit PreviewCatcher(std::function<void(gui::ReportPreview&)> act = {}) : act_(std::move(act))
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] { Catch(); });
        timer_.start(5);
    }

    int shown = 0;

private:
    void Catch()
    {
        auto* preview = qobject_cast<gui::ReportPreview*>(QApplication::activeModalWidget());
        if (!preview || !preview->isVisible() || acting_)
            return;
        ++shown;
        acting_ = true;
        if (act_)
            act_(*preview);
        acting_ = false;
        preview->reject();
    }

    std::function<void(gui::ReportPreview&)> act_;
    bool acting_ = false;
    QTimer timer_;
};

// The window in a fresh working directory, on a simulated instrument. The fixture of a test
// adds what answers the window's boxes.
class WindowFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_ = QDir::currentPath();
        QDir::setCurrent(QString::fromStdString(dir.path().string()));
        ASSERT_TRUE(simulator.Start());
    }

    void TearDown() override
    {
        window.reset();
        QDir::setCurrent(previous_);
    }

    // Starts the window on the test's time and lets the second load of the recent profile pass.
    void Open(gui::WindowOptions options)
    {
        options.clock = &clock;
        window = std::make_unique<gui::MainWindow>(options);
        window->show();
        QApplication::processEvents();
        clock.Advance(200);
    }
    void Open() { Open({simulator.DevicePath()}); }

    // A control by its objectName, by what it does, or by the control value it shows.
    template <class T>
    T* Get(const char* name) const
    {
        return Find<T>(QString::fromUtf8(name));
    }
    template <class T>
    T* Get(Button button) const
    {
        return Get<T>(FormName(button));
    }
    template <class T>
    T* Get(MenuItem item) const
    {
        return Get<T>(FormName(item));
    }
    template <class T>
    T* Get(Part part) const
    {
        return Get<T>(FormName(part));
    }
    template <class T>
    T* Get(Bound field) const
    {
        const QString name = field.FormName(*window);
        EXPECT_FALSE(name.isEmpty()) << "no widget shows this field of the control values";
        return name.isEmpty() ? nullptr : Find<T>(name);
    }
    void Click(Button button) const { Get<QPushButton>(button)->click(); }
    void Click(const char* button) const { Get<QPushButton>(button)->click(); }
    void Trigger(MenuItem item) const { Get<QAction>(item)->trigger(); }
    void Trigger(const char* action) const { Get<QAction>(action)->trigger(); }
    QString Text(Bound edit) const;
    void SetText(Bound edit, const char* text) const;

    std::string File(const char* name) const { return dir.file(name); }

    TempDir dir;
    sim::Simulator simulator;
    DrivenClock clock;
    std::unique_ptr<gui::MainWindow> window;

private:
    template <class T>
    T* Find(const QString& name) const
    {
        T* w = window->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }

    QString previous_;
};

// The window whose boxes a BoxAnswerer answers.
class WindowTest : public WindowFixture {
protected:
    BoxAnswerer boxer;
};

}  // namespace pmv::test
