// The port list's order and the serial port's error messages.
#include <gtest/gtest.h>

#include <QStringList>

#include "seriallink/ComPort.h"

namespace {

struct TSortCase {
    const char *Name;
    QStringList Given;
    QStringList Sorted;
};

class PortNameSort : public ::testing::TestWithParam<TSortCase> {};

TEST_P(PortNameSort, CaseInsensitiveCharacterByCharacter)
{
    QStringList names = GetParam().Given;
    SortPortNames(names);
    EXPECT_EQ(names, GetParam().Sorted);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, PortNameSort,
    ::testing::Values(
        TSortCase {"TwoDigitNamesBeforeLongerDigits", {"COM2", "COM10", "COM1"}, {"COM1", "COM10", "COM2"}},
        TSortCase {"CaseIgnored", {"ttyS1", "COM3", "TTYs0", "com12"}, {"com12", "COM3", "TTYs0", "ttyS1"}},
        TSortCase {"DuplicatesKept", {"COM4", "COM1", "COM4"}, {"COM1", "COM4", "COM4"}},
        TSortCase {"Empty", {}, {}}),
    [](const auto &info) { return std::string(info.param.Name); });

struct TMessageCase {
    int Code;
    int Number;
    const char *Message;
};

class ComErrorMessage : public ::testing::TestWithParam<TMessageCase> {};

TEST_P(ComErrorMessage, DescriptionThenTheSystemNumber)
{
    const EComPort e(GetParam().Code, GetParam().Number);
    EXPECT_STREQ(e.what(), GetParam().Message);
    EXPECT_EQ(e.Code(), GetParam().Code);
    EXPECT_EQ(e.WinCode(), GetParam().Number);
}

INSTANTIATE_TEST_SUITE_P(Codes, ComErrorMessage,
                         ::testing::Values(TMessageCase {1, 2, "Unable to open com port (win error code: 2)"},
                                           TMessageCase {7, 22, "SetCommState function failed (win error code: 22)"},
                                           TMessageCase {3, 0, "ReadFile function failed (win error code: 0)"}));

} // namespace
