// make_samples: writes Motorola S-record update files for trying Varnel against the simulated
// unit. The same options always give the same bytes, so the committed samples can be rebuilt
// and compared at any time.
//
//   make_samples --samples DIR       the sample set: one file per unit type
//   make_samples --size BYTES --variant 16|24|32 --out PATH [options]
//                                    one file of a given size, e.g. for benchmarks
//
// Plain C++ on purpose: the tool needs nothing but the standard library.

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

// One stretch of consecutive addresses, cut into data records.
struct TSegment {
    std::uint64_t Base;
    int Records;
    int RecordBytes;
};

// Everything that decides the contents of one file.
struct TFilePlan {
    std::string FileName;  // also the header text and the seed of the data
    int Variant = 32;      // address width: 16, 24 or 32 bits
    std::vector<TSegment> Segments;
    std::uint64_t Entry = 0; // address carried by the termination record
    std::uint32_t Seed = 0;
    std::string Header;
};

// The sample set: one file per unit type, each named so that it passes the unit type's name
// rule. Update-mode relays take a few hundred lines; resistor monitors are kept small since
// each data byte costs one exchange with the unit, and their data ends exactly at 0xFFFF
// (the top of the monitor's address space) with a short vector table; communications modules
// send one record per exchange at 9600 baud.
struct TSampleEntry {
    int UnitType;
    const char *FileName;
    int Variant;
    std::vector<TSegment> Segments;
};

const std::vector<TSampleEntry> &SampleSet()
{
    static const std::vector<TSampleEntry> set = {
        // update-mode relays, 32-bit addresses (S3/S7)
        {2, "K400170.s19", 32, {{0x00100000, 256, 16}}},
        {6, "D400170.s19", 32, {{0x00100000, 256, 16}}},
        {12, "T4200170.s19", 32, {{0x00100000, 256, 16}}},
        {16, "T5800170.s19", 32, {{0x00100000, 256, 16}}},
        // update-mode relays, 24-bit addresses (S2/S8)
        {1, "KTR0170.s19", 24, {{0x010000, 256, 16}}},
        {11, "T4100170.s19", 24, {{0x010000, 256, 16}}},
        // resistor monitors, 16-bit addresses (S1/S9): program at 0xE000, vectors at 0xFFC0
        {3, "R7700170.s19", 16, {{0xE000, 60, 16}, {0xFFC0, 4, 16}}},
        {13, "T3770170.s19", 16, {{0xE000, 60, 16}, {0xFFC0, 4, 16}}},
        // communications modules, 16-bit addresses (S1/S9)
        {4, "GRA0170.s19", 16, {{0x4000, 128, 16}}},
        {5, "NRA0170.s19", 16, {{0x4000, 128, 16}}},
    };
    return set;
}

// FNV-1a: turns a file name into the seed of its data, so each sample holds different bytes.
std::uint32_t NameSeed(const std::string &name)
{
    std::uint32_t h = 2166136261u;
    for (unsigned char c : name) {
        h ^= c;
        h *= 16777619u;
    }
    return h ? h : 1u;
}

// xorshift32: a small, fixed pseudo-random sequence for the data bytes.
class TByteSource {
public:
    explicit TByteSource(std::uint32_t seed) : state_(seed ? seed : 1u) {}
    std::uint8_t Next()
    {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<std::uint8_t>(state_ >> 24);
    }

private:
    std::uint32_t state_;
};

int AddressBytes(int variant) { return variant / 8; }

std::uint64_t AddressLimit(int variant) { return std::uint64_t(1) << variant; }

char DataLetter(int variant) { return variant == 16 ? '1' : variant == 24 ? '2' : '3'; }
char EndLetter(int variant) { return variant == 16 ? '9' : variant == 24 ? '8' : '7'; }

void AppendHexByte(std::string &out, std::uint8_t b)
{
    static const char digits[] = "0123456789ABCDEF";
    out += digits[b >> 4];
    out += digits[b & 0x0F];
}

// One S-record line: type, byte count, address, data, checksum (ones' complement of the low
// byte of the sum of count, address bytes and data bytes), upper-case hex, LF line end.
std::string Record(char type, int addressBytes, std::uint64_t address, const std::vector<std::uint8_t> &data)
{
    const int count = addressBytes + static_cast<int>(data.size()) + 1;
    std::string line = "S";
    line += type;
    unsigned sum = static_cast<unsigned>(count);
    AppendHexByte(line, static_cast<std::uint8_t>(count));
    for (int i = addressBytes - 1; i >= 0; --i) {
        const auto b = static_cast<std::uint8_t>(address >> (8 * i));
        sum += b;
        AppendHexByte(line, b);
    }
    for (std::uint8_t b : data) {
        sum += b;
        AppendHexByte(line, b);
    }
    AppendHexByte(line, static_cast<std::uint8_t>(~sum & 0xFF));
    line += '\n';
    return line;
}

std::string Render(const TFilePlan &plan)
{
    std::string out;
    const std::vector<std::uint8_t> header(plan.Header.begin(), plan.Header.end());
    out += Record('0', 2, 0, header);
    TByteSource bytes(plan.Seed);
    const int addressBytes = AddressBytes(plan.Variant);
    for (const TSegment &seg : plan.Segments) {
        std::uint64_t address = seg.Base;
        for (int r = 0; r < seg.Records; ++r) {
            std::vector<std::uint8_t> data(static_cast<size_t>(seg.RecordBytes));
            for (auto &b : data)
                b = bytes.Next();
            out += Record(DataLetter(plan.Variant), addressBytes, address, data);
            address += static_cast<std::uint64_t>(seg.RecordBytes);
        }
    }
    out += Record(EndLetter(plan.Variant), addressBytes, plan.Entry, {});
    return out;
}

bool WriteFile(const std::string &path, const std::string &text)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (!f)
        return false;
    f.write(text.data(), static_cast<std::streamsize>(text.size()));
    return static_cast<bool>(f.flush());
}

std::string BaseName(const std::string &path)
{
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string StripExtension(const std::string &name)
{
    const auto dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

TFilePlan PlanFromEntry(const TSampleEntry &entry)
{
    TFilePlan plan;
    plan.FileName = entry.FileName;
    plan.Variant = entry.Variant;
    plan.Segments = entry.Segments;
    plan.Entry = entry.Segments.front().Base;
    plan.Seed = NameSeed(plan.FileName);
    plan.Header = StripExtension(plan.FileName);
    return plan;
}

void PrintHelp(std::ostream &out)
{
    out << "Usage:\n"
           "  make_samples --samples DIR\n"
           "  make_samples --size BYTES --variant 16|24|32 --out PATH [options]\n"
           "  make_samples --list\n"
           "  make_samples --help\n"
           "\n"
           "Writes Motorola S-record update files (S0 header, data records, termination\n"
           "record, upper-case hex, valid checksums, LF line ends). The same options always\n"
           "give the same bytes.\n"
           "\n"
           "  --samples DIR        write the sample set into DIR: one file per unit type,\n"
           "                       named so that it passes that unit type's name rule\n"
           "  --list               list the sample set (unit type, file, records) and exit\n"
           "\n"
           "One file of a given size:\n"
           "  --size BYTES         data bytes in the file (e.g. 65536 for 64 KiB)\n"
           "  --variant 16|24|32   address width: 16 = S1/S9 (resistor monitors,\n"
           "                       communications modules), 24 = S2/S8 (KTR, TVR-4100),\n"
           "                       32 = S3/S7 (KLN-40, DWN-40, TVR-4200, TVR-5800)\n"
           "  --out PATH           file to write\n"
           "  --record-bytes N     data bytes per record, 1 to 250 (default 16); the last\n"
           "                       record holds the rest\n"
           "  --base ADDR          first address, decimal or 0x hex (default: 16-bit files\n"
           "                       end exactly at 0xFFFF; 24-bit start at 0x010000; 32-bit\n"
           "                       at 0x00100000)\n"
           "  --seed N             seed of the data bytes (default: taken from the file name)\n"
           "  --header TEXT        text of the S0 header (default: file name without extension)\n"
           "\n"
           "Varnel accepts at most 20000 data records in one file; larger files are written\n"
           "anyway (for trying that limit).\n"
           "\n"
           "Examples:\n"
           "  make_samples --samples samples\n"
           "  make_samples --size 65536 --variant 32 --out /tmp/T4264k.s19\n"
           "  make_samples --size 65536 --variant 16 --out /tmp/T377064k.s19\n";
}

bool ParseNumber(const std::string &text, std::uint64_t &value)
{
    if (text.empty())
        return false;
    const char *begin = text.c_str();
    char *end = nullptr;
    const int base = (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) ? 16 : 10;
    if (base == 16)
        begin += 2;
    if (*begin == '\0' || *begin == '-' || *begin == '+')
        return false;
    errno = 0;
    value = std::strtoull(begin, &end, base);
    return errno == 0 && end && *end == '\0';
}

int Fail(const std::string &why)
{
    std::cerr << "make_samples: " << why << "\n(make_samples --help lists the options)\n";
    return 2;
}

int WriteSampleSet(const std::string &dir)
{
    for (const TSampleEntry &entry : SampleSet()) {
        const std::string path = dir + "/" + entry.FileName;
        if (!WriteFile(path, Render(PlanFromEntry(entry)))) {
            std::cerr << "make_samples: cannot write " << path << "\n";
            return 1;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    std::string samplesDir, out, header;
    std::uint64_t size = 0, variant = 0, recordBytes = 16, base = 0, seed = 0;
    bool haveSize = false, haveVariant = false, haveBase = false, haveSeed = false, haveHeader = false;
    bool list = false;

    if (argc < 2) {
        PrintHelp(std::cerr);
        return 2;
    }
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string &into) {
            if (i + 1 >= argc)
                return false;
            into = argv[++i];
            return true;
        };
        std::string v;
        if (arg == "--help" || arg == "-h") {
            PrintHelp(std::cout);
            return 0;
        } else if (arg == "--list") {
            list = true;
        } else if (arg == "--samples") {
            if (!value(samplesDir))
                return Fail("--samples needs a folder");
        } else if (arg == "--out") {
            if (!value(out))
                return Fail("--out needs a path");
        } else if (arg == "--header") {
            if (!value(header))
                return Fail("--header needs a text");
            haveHeader = true;
        } else if (arg == "--size" || arg == "--variant" || arg == "--record-bytes" || arg == "--base" ||
                   arg == "--seed") {
            std::uint64_t n = 0;
            if (!value(v) || !ParseNumber(v, n))
                return Fail(arg + " needs a number");
            if (arg == "--size") {
                size = n;
                haveSize = true;
            } else if (arg == "--variant") {
                variant = n;
                haveVariant = true;
            } else if (arg == "--record-bytes") {
                recordBytes = n;
            } else if (arg == "--base") {
                base = n;
                haveBase = true;
            } else {
                seed = n;
                haveSeed = true;
            }
        } else {
            return Fail("unknown option " + arg);
        }
    }

    if (list) {
        for (const TSampleEntry &entry : SampleSet()) {
            int records = 0;
            for (const TSegment &seg : entry.Segments)
                records += seg.Records;
            std::cout << entry.UnitType << '\t' << entry.FileName << '\t' << records << '\n';
        }
        return 0;
    }

    if (!samplesDir.empty()) {
        if (haveSize || haveVariant || !out.empty())
            return Fail("--samples takes no other option");
        return WriteSampleSet(samplesDir);
    }

    if (!haveSize || !haveVariant || out.empty())
        return Fail("a single file needs --size, --variant and --out");
    if (variant != 16 && variant != 24 && variant != 32)
        return Fail("--variant must be 16, 24 or 32");
    if (size == 0)
        return Fail("--size must be at least 1");
    // The byte count field holds address, data and checksum bytes: at most 255.
    if (recordBytes < 1 || recordBytes > 250)
        return Fail("--record-bytes must be from 1 to 250");
    const std::uint64_t limit = AddressLimit(static_cast<int>(variant));
    if (size > limit)
        return Fail("--size does not fit into the variant's address space");
    if (!haveBase)
        base = variant == 16 ? limit - size : variant == 24 ? 0x010000 : 0x00100000;
    if (base >= limit || size > limit - base)
        return Fail("the data would run past the variant's highest address");
    if (haveSeed && seed > 0xFFFFFFFFu)
        return Fail("--seed must fit into 32 bits");

    TFilePlan plan;
    plan.FileName = BaseName(out);
    plan.Variant = static_cast<int>(variant);
    const std::uint64_t full = size / recordBytes;
    const std::uint64_t rest = size % recordBytes;
    if (full + (rest ? 1 : 0) > 100000000u)
        return Fail("--size gives too many records");
    if (full)
        plan.Segments.push_back({base, static_cast<int>(full), static_cast<int>(recordBytes)});
    if (rest)
        plan.Segments.push_back({base + full * recordBytes, 1, static_cast<int>(rest)});
    plan.Entry = base;
    plan.Seed = haveSeed ? static_cast<std::uint32_t>(seed) : NameSeed(plan.FileName);
    plan.Header = haveHeader ? header : StripExtension(plan.FileName);
    if (plan.Header.size() > 250)
        return Fail("--header must be at most 250 characters");

    if (!WriteFile(out, Render(plan))) {
        std::cerr << "make_samples: cannot write " << out << "\n";
        return 1;
    }
    return 0;
}
