#pragma once

#include <QApplication>
#include <memory>

// Makes the application object. Where no display can be reached Qt would abort with a core dump and an English
// advice to reinstall; instead the operator reads in Chinese which display could not be reached, and the process
// ends with status 1.
std::unique_ptr<QApplication> startApplication(int& argc, char** argv);
