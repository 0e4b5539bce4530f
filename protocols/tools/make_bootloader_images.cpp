// Writes protocols/BootloaderImages.cpp: the two RAM bootloader images as lists of S1 record
// texts without the "S1" prefix.
//
// The program bytes are made here, deterministically, as a stream of short instructions of a
// small 8-bit controller (load/store/branch/call with page-zero and extended operands, whose
// high address bytes give the zero bytes real code is full of), followed by a small constant
// table. The record layout is the one the units' loaders expect: a regular ascending run of
// 16-byte records, a short record ending the run, and four trailing records that fill in the
// first six bytes of the block, the stretch between the run and the top of the covered range,
// and the single byte at the top.
//
// Usage: make_bootloader_images OUTPUT.cpp   (or no argument: write to standard output)

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Record {
    unsigned Address;
    unsigned Count;
};

struct ImageLayout {
    const char *FunctionName;
    unsigned First;        // first covered address
    unsigned Last;         // last covered address
    unsigned RunStart;     // load address of the first regular record
    unsigned RunRecords;   // regular 16-byte records
    unsigned RunEndCount;  // bytes of the record that ends the run
    Record Trailing[4];    // appended after the run, in this order
    std::uint32_t Seed;
};

// xorshift32: a fixed, portable sequence so that every run writes the same file.
class Random {
public:
    explicit Random(std::uint32_t seed) : state_(seed) {}
    std::uint32_t Next()
    {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    unsigned Below(unsigned n) { return Next() % n; }

private:
    std::uint32_t state_;
};

// The program bytes for [first, last]: instructions up to the last 24 bytes, which hold a
// constant table (counts, masks and zero padding), and the final byte, the loader's version.
std::vector<std::uint8_t> MakeProgram(const ImageLayout &layout)
{
    struct Op {
        std::uint8_t Code;
        int Operand; // 0 none, 1 immediate, 2 page-zero, 3 extended (high, low), 4 relative
    };
    static const Op ops[] = {
        {0xA6, 1}, {0xB7, 2}, {0xB6, 2}, {0xC6, 3}, {0xC7, 3}, {0xCD, 3}, {0xCC, 3},
        {0x26, 4}, {0x27, 4}, {0x20, 4}, {0xA1, 1}, {0xA4, 1}, {0xAA, 1}, {0x4F, 0},
        {0x5F, 0}, {0x9D, 0}, {0x81, 0}, {0x4C, 0}, {0x5C, 0}, {0x3F, 2}, {0x45, 3},
        {0x65, 3}, {0x87, 0}, {0x86, 0}, {0x8B, 0}, {0x8A, 0}, {0x97, 0}, {0x9F, 0},
    };
    const std::size_t size = layout.Last - layout.First + 1;
    const std::size_t tableSize = 24;
    std::vector<std::uint8_t> bytes;
    Random random(layout.Seed);
    while (bytes.size() < size - tableSize - 1) {
        const Op &op = ops[random.Below(sizeof ops / sizeof ops[0])];
        bytes.push_back(op.Code);
        switch (op.Operand) {
        case 1: bytes.push_back(std::uint8_t(random.Next() >> 8)); break;
        case 2: bytes.push_back(std::uint8_t(0x40 + random.Below(0x40))); break;
        case 3:
            bytes.push_back(std::uint8_t((layout.First + random.Below(unsigned(size))) >> 8));
            bytes.push_back(std::uint8_t(random.Next() >> 16));
            break;
        case 4: bytes.push_back(std::uint8_t(0xF0 + random.Below(0x20))); break;
        default: break;
        }
    }
    bytes.resize(size - tableSize - 1, 0x9D);
    for (std::size_t i = 0; i < tableSize; ++i)
        bytes.push_back(i % 3 == 2 ? 0x00 : std::uint8_t(1u << (i % 8)));
    bytes.push_back(0x12);
    return bytes;
}

std::vector<Record> MakeRecords(const ImageLayout &layout)
{
    std::vector<Record> records;
    for (unsigned k = 0; k < layout.RunRecords; ++k)
        records.push_back({layout.RunStart + 16 * k, 16});
    records.push_back({layout.RunStart + 16 * layout.RunRecords, layout.RunEndCount});
    for (const Record &r : layout.Trailing)
        records.push_back(r);
    return records;
}

std::string Hex2(unsigned v)
{
    char text[3];
    std::snprintf(text, sizeof text, "%02X", v & 0xFF);
    return text;
}

// Count, address, data and checksum of one record, as upper-case digits.
std::string RecordText(const Record &r, const std::vector<std::uint8_t> &program, unsigned first)
{
    const unsigned count = r.Count + 3;
    unsigned sum = count + (r.Address >> 8) + (r.Address & 0xFF);
    std::string text = Hex2(count) + Hex2(r.Address >> 8) + Hex2(r.Address);
    for (unsigned j = 0; j < r.Count; ++j) {
        const std::uint8_t b = program.at(r.Address + j - first);
        sum += b;
        text += Hex2(b);
    }
    return text + Hex2(~sum);
}

bool WriteImage(std::ostream &out, const ImageLayout &layout)
{
    const std::vector<std::uint8_t> program = MakeProgram(layout);
    const std::vector<Record> records = MakeRecords(layout);

    // Every covered address is set exactly once.
    std::vector<int> hits(layout.Last - layout.First + 1, 0);
    for (const Record &r : records)
        for (unsigned j = 0; j < r.Count; ++j) {
            const unsigned a = r.Address + j;
            if (a < layout.First || a > layout.Last)
                return false;
            ++hits[a - layout.First];
        }
    for (int h : hits)
        if (h != 1)
            return false;

    out << "const QStringList &" << layout.FunctionName << "()\n{\n";
    out << "    static const QStringList image = {\n";
    for (const Record &r : records)
        out << "        QStringLiteral(\"" << RecordText(r, program, layout.First) << "\"),\n";
    out << "    };\n    return image;\n}\n";
    return true;
}

const ImageLayout MonitorLayout = {
    "MonitorBootloaderImage", 0x0080, 0x0280, 0x0086, 30, 3,
    {{0x0280, 1}, {0x0080, 6}, {0x0269, 16}, {0x0279, 7}}, 0x4D6F6E31u};

const ImageLayout ModuleLayout = {
    "ModuleBootloaderImage", 0x0000, 0x0387, 0x0006, 54, 5,
    {{0x0387, 1}, {0x0000, 6}, {0x036B, 16}, {0x037B, 12}}, 0x4D6F6432u};

} // namespace

int main(int argc, char **argv)
{
    std::ostringstream out;
    out << "// Generated by protocols/tools/make_bootloader_images.cpp; do not edit by hand.\n"
           "// To regenerate:\n"
           "//   cmake --build build --target make_bootloader_images\n"
           "//   build/protocols/make_bootloader_images protocols/BootloaderImages.cpp\n"
           "\n"
           "#include \"protocols/UpdateFlows.h\"\n"
           "\n";
    if (!WriteImage(out, MonitorLayout))
        return 1;
    out << "\n";
    if (!WriteImage(out, ModuleLayout))
        return 1;

    if (argc < 2) {
        std::cout << out.str();
        return 0;
    }
    std::ofstream file(argv[1], std::ios::binary);
    file << out.str();
    return file ? 0 : 1;
}
