#pragma once

#include "consolewindow.h"
#include "engine.h"
#include "lumoriaapp.h"
#include "lumosettings.h"
#include "lumostyle.h"

#include <QApplication>

#include <QDir>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

// The whole application over a temporary recovery folder and settings file.
class ConsoleTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        applyLumoStyle(*qApp);
        start();
    }
    void TearDown() override { app.reset(); }

    void start()
    {
        app.reset();
        LumoriaApp::Options options;
        options.recoveryDirectory = recoveryDirectory();
        options.settingsFile = settingsFile();
        app = std::make_unique<LumoriaApp>(options);
    }
    QString recoveryDirectory() const { return folder.filePath("recovery"); }
    QString recoveryFile() const { return folder.filePath("recovery/Recovery.json"); }
    QString settingsFile() const { return folder.filePath("settings.ini"); }
    Engine& engine() const { return app->engine(); }
    ConsoleView& view() const { return *app->consoleWindow().view(); }

    // Leaves a picture of the widget for a person to look at.
    static void saveShot(QWidget& widget, const QString& name)
    {
        QDir().mkpath(LUMO_TEST_SHOTS);
        widget.grab().save(QString(LUMO_TEST_SHOTS) + "/" + name + ".png");
    }

    QTemporaryDir folder;
    std::unique_ptr<LumoriaApp> app;
};
