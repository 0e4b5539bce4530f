#include <gtest/gtest.h>

#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <vector>

#include "protocols/UpdateFlows.h"

namespace {

// One record text read independently of the download code.
struct TParsed {
    int Count = 0;
    int Address = 0;
    QByteArray Data;
    int Checksum = 0;
};

int Byte(const QString &text, int index) // index counts characters from 0
{
    bool ok = false;
    const int v = text.mid(index, 2).toInt(&ok, 16);
    return ok ? v : -1;
}

TParsed Parse(const QString &record)
{
    TParsed p;
    p.Count = Byte(record, 0);
    p.Address = Byte(record, 2) * 256 + Byte(record, 4);
    for (int i = 6; i + 2 < record.size(); i += 2)
        p.Data.append(char(Byte(record, i)));
    p.Checksum = Byte(record, int(record.size()) - 2);
    return p;
}

struct TImageForm {
    const char *Name;
    TBootloaderImage Image;
    int Records;
    std::vector<int> Lengths;          // sorted
    int RunStart;                      // first regular record's address
    int RunRecords;                    // regular 16-byte records
    int RunEndAddress, RunEndCount;    // the record that ends the run
    std::vector<std::pair<int, int>> Trailing; // address, data bytes
    int FirstCovered, LastCovered;
    int BlockFirst, BlockSize;
};

std::vector<int> Lengths(int forty, std::vector<int> others)
{
    std::vector<int> v(forty, 40);
    v.insert(v.end(), others.begin(), others.end());
    std::sort(v.begin(), v.end());
    return v;
}

const TImageForm Forms[] = {
    {"Monitor", TBootloaderImage::Monitor, 35, Lengths(31, {14, 10, 20, 22}), 0x0086, 30, 0x0266, 3,
     {{0x0280, 1}, {0x0080, 6}, {0x0269, 16}, {0x0279, 7}}, 0x0080, 0x0280, 0x0080, 513},
    {"Module", TBootloaderImage::Module, 59, Lengths(55, {18, 10, 20, 32}), 0x0006, 54, 0x0366, 5,
     {{0x0387, 1}, {0x0000, 6}, {0x036B, 16}, {0x037B, 12}}, 0x0000, 0x0387, 0x0000, 1024},
};

const QStringList &Records(TBootloaderImage image)
{
    return image == TBootloaderImage::Monitor ? MonitorBootloaderImage() : ModuleBootloaderImage();
}

class BootloaderImageForm : public ::testing::TestWithParam<TImageForm> {};

TEST_P(BootloaderImageForm, RecordCountsLengthsAndDigits)
{
    const TImageForm &f = GetParam();
    const QStringList &records = Records(f.Image);
    ASSERT_EQ(records.size(), f.Records);
    std::vector<int> lengths;
    static const QRegularExpression upperHex(QStringLiteral("^[0-9A-F]+$"));
    for (const QString &r : records) {
        lengths.push_back(int(r.size()));
        EXPECT_TRUE(upperHex.match(r).hasMatch()) << r.toStdString();
        EXPECT_EQ(r.size() % 2, 0) << r.toStdString();
    }
    std::sort(lengths.begin(), lengths.end());
    EXPECT_EQ(lengths, f.Lengths);
}

TEST_P(BootloaderImageForm, CountsAndChecksumsAreSRecordValid)
{
    for (const QString &r : Records(GetParam().Image)) {
        const TParsed p = Parse(r);
        EXPECT_EQ(p.Count, p.Data.size() + 3) << r.toStdString();
        int sum = p.Count + (p.Address >> 8) + (p.Address & 0xFF);
        for (char b : p.Data)
            sum += quint8(b);
        EXPECT_EQ(p.Checksum, (~sum) & 0xFF) << r.toStdString();
    }
}

TEST_P(BootloaderImageForm, RegularRunThenFourTrailingRecordsInOrder)
{
    const TImageForm &f = GetParam();
    const QStringList &records = Records(f.Image);
    for (int k = 0; k < f.RunRecords; ++k) {
        const TParsed p = Parse(records[k]);
        EXPECT_EQ(p.Address, f.RunStart + 16 * k) << "record " << k + 1;
        EXPECT_EQ(p.Data.size(), 16) << "record " << k + 1;
    }
    const TParsed end = Parse(records[f.RunRecords]);
    EXPECT_EQ(end.Address, f.RunEndAddress);
    EXPECT_EQ(end.Data.size(), f.RunEndCount);
    for (int t = 0; t < 4; ++t) {
        const TParsed p = Parse(records[f.RunRecords + 1 + t]);
        EXPECT_EQ(p.Address, f.Trailing[t].first) << "trailing record " << t + 1;
        EXPECT_EQ(p.Data.size(), f.Trailing[t].second) << "trailing record " << t + 1;
    }
}

TEST_P(BootloaderImageForm, EveryCoveredAddressIsSetExactlyOnce)
{
    const TImageForm &f = GetParam();
    QMap<int, int> hits;
    for (const QString &r : Records(f.Image)) {
        const TParsed p = Parse(r);
        for (int j = 0; j < p.Data.size(); ++j)
            ++hits[p.Address + j];
    }
    EXPECT_EQ(hits.firstKey(), f.FirstCovered);
    EXPECT_EQ(hits.lastKey(), f.LastCovered);
    EXPECT_EQ(hits.size(), f.LastCovered - f.FirstCovered + 1);
    for (auto it = hits.cbegin(); it != hits.cend(); ++it)
        EXPECT_EQ(it.value(), 1) << "address " << it.key();
}

TEST_P(BootloaderImageForm, BlockHoldsEachRecordsBytesAtItsAddress)
{
    const TImageForm &f = GetParam();
    const QByteArray block = BootloaderBlock(f.Image);
    ASSERT_EQ(block.size(), f.BlockSize);
    QByteArray expected(f.BlockSize, char(0xFF));
    for (const QString &r : Records(f.Image)) {
        const TParsed p = Parse(r);
        expected.replace(p.Address - f.BlockFirst, p.Data.size(), p.Data);
    }
    EXPECT_EQ(block, expected);
    // Built afresh each time: the same bytes again.
    EXPECT_EQ(BootloaderBlock(f.Image), block);
}

TEST_P(BootloaderImageForm, ProgramDataLooksLikeCodeWithZeroBytes)
{
    const QByteArray block = BootloaderBlock(GetParam().Image);
    const int covered = GetParam().LastCovered - GetParam().BlockFirst + 1;
    const QByteArray data = block.left(covered);
    EXPECT_GE(data.count('\0'), 4);
    QSet<char> distinct(data.begin(), data.end());
    EXPECT_GE(distinct.size(), 32);
}

INSTANTIATE_TEST_SUITE_P(Images, BootloaderImageForm, ::testing::ValuesIn(Forms),
                         [](const auto &info) { return std::string(info.param.Name); });

TEST(BootloaderImageForm, ModuleBlockTailIsErasedFlash)
{
    const QByteArray block = BootloaderBlock(TBootloaderImage::Module);
    ASSERT_EQ(block.size(), 1024);
    EXPECT_EQ(block.mid(0x0388), QByteArray(120, char(0xFF)));
}

} // namespace
