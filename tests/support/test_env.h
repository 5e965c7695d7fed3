#ifndef BREVON_TESTS_SUPPORT_TEST_ENV_H_
#define BREVON_TESTS_SUPPORT_TEST_ENV_H_

#include <string>

// Where the build put things, as the test harness tells the test programs.

/// Value of an environment variable, empty when unset.
std::wstring EnvironmentText(const wchar_t* name);

/// The folder of Brevon.exe and the test programs.
std::wstring BinaryDirectory();

/// The folder of the simulated server library and its variants.
std::wstring SimulatorDirectory();

/// UTF-8 form of a wide text, for messages.
std::string Utf8(const std::wstring& text);

#endif  // BREVON_TESTS_SUPPORT_TEST_ENV_H_
