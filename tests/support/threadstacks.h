#pragma once

// Prints where every thread of this program stands to standard error, through gdb when it is installed. For a test
// program about to be ended as hung: the stacks are what a hang seen once on a busy machine can be read from.
void printEveryThreadsStack();
