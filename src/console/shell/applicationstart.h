#pragma once

#include <QApplication>
#include <memory>

// Makes the application object. Where that fails Qt would abort with a core dump and an English advice to reinstall;
// instead the operator reads in Chinese which display could not be reached (or that it refused the connection), or,
// when something else failed, Qt's own lines on why, and the process ends with status 1.
std::unique_ptr<QApplication> startApplication(int& argc, char** argv);
