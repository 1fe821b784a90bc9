#pragma once

// The program's end once its event loop has ended and the console is gone: the pictures let go on the way out are
// deleted, work still stopping on other threads is given a moment, and the process ends with the code.
int endProgram(int code);
