#pragma once

#include "eventinspector.h"
#include "eventwait.h"
#include "lumostyle.h"
#include "timelineeditor.h"
#include "timelinefixture.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <memory>

// The editor widget on the engine fixture, with labelled stand-ins for the console's cue list and screens column.
class EditorShellTest : public TimelineTest
{
  protected:
    void SetUp() override
    {
        TimelineTest::SetUp();
        // One editor model only: a second would serve the engine's focus requests too.
        model.reset();
        applyLumoStyle(*qApp);
        editor = std::make_unique<TimelineEditor>(*engine, new QLabel(QStringLiteral("节目单")),
                                                  new QLabel(QStringLiteral("屏幕")), [this] { ++previewSwitches; });
        editor->resize(1100, 800);
    }
    void TearDown() override
    {
        editor.reset();
        TimelineTest::TearDown();
    }

    TimelineEditorModel& shell() const { return editor->model(); }
    bool shown(const char* name) const
    {
        const QWidget* widget = editor->findChild<QWidget*>(QString::fromLatin1(name));
        return widget && widget->isVisibleTo(editor.get());
    }
    template <typename W = QWidget> W* child(QObject* parent, const char* name) const
    {
        W* found = parent->findChild<W*>(QString::fromLatin1(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
    static void typeInto(QLineEdit* field, const QString& text)
    {
        field->setFocus();
        field->selectAll();
        field->del();
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
    }
    static void saveShot(QWidget& widget, const QString& name)
    {
        QDir().mkpath(LUMO_TEST_SHOTS);
        widget.grab().save(QString(LUMO_TEST_SHOTS) + "/" + name + ".png");
    }

    std::unique_ptr<TimelineEditor> editor;
    int previewSwitches = 0;
};
