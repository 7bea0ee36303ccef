#pragma once

// One program runs the window tests of one library. Its first argument names
// the test class to run; the options below set up the desktop before the
// application starts; whatever follows goes to QtTest as usual:
//   entry_screen_tests OptionsScreenTest [--screen 1024x768] [--locale pt_PT] [QtTest options]
// Every class is its own ctest entry, so each still runs in a fresh process.

#include <QObject>

#include <initializer_list>
#include <memory>

namespace tavelo::testing {

struct QtTestClass {
    const char *name;
    std::unique_ptr<QObject> (*make)();
};

int runQtTestClass(int argc, char **argv, std::initializer_list<QtTestClass> classes);

} // namespace tavelo::testing

// In the test's file, where QTEST_MAIN would stand: how the runner makes the class.
#define TAVELO_QTEST_CLASS(Class)                                                                            \
    std::unique_ptr<QObject> tavelo_make_##Class() { return std::make_unique<Class>(); }
// In the program's generated main.
#define TAVELO_DECLARE_QTEST(Class) std::unique_ptr<QObject> tavelo_make_##Class();
#define TAVELO_QTEST(Class) tavelo::testing::QtTestClass{#Class, &tavelo_make_##Class}
