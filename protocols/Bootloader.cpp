#include "protocols/UpdateFlows.h"

#include "protocols/FlowTexts.h"
#include "updatefile/HexDigit.h"

namespace {

// The address range a download sends for each image.
struct TBlockRange {
    int First;
    int Last;
};

TBlockRange BlockRange(TBootloaderImage image)
{
    return image == TBootloaderImage::Monitor ? TBlockRange{0x0080, 0x0280} : TBlockRange{0x0000, 0x03FF};
}

const QStringList &ImageRecords(TBootloaderImage image)
{
    return image == TBootloaderImage::Monitor ? MonitorBootloaderImage() : ModuleBootloaderImage();
}

// Value of the character at a 1-based position of a record text; -1 when it is no upper-case
// hexadecimal digit or lies beyond the text.
int DigitAt(const QString &text, int position)
{
    if (position < 1 || position > text.size())
        return -1;
    const QChar c = text.at(position - 1);
    return c.unicode() < 0x80 ? HexDigitValue(char(c.unicode())) : -1;
}

} // namespace

QByteArray BootloaderBlock(TBootloaderImage image)
{
    // Image memory: one byte per load address of the 16-bit address space. Positions that no
    // record sets keep the erased-flash value 0xFF, so every download sends the same block.
    QByteArray memory(0x10000, char(0xFF));
    for (const QString &record : ImageRecords(image)) {
        // Count (characters 1-2) and checksum (the last two) are not needed to place the bytes.
        const int n = (int(record.size()) - 8) / 2;
        int address = 0;
        for (int k = 3; k <= 6; ++k) {
            const int d = DigitAt(record, k);
            if (d < 0)
                return {};
            address = address * 16 + d;
        }
        for (int j = 0; j < n; ++j) {
            const int high = DigitAt(record, 7 + 2 * j);
            const int low = DigitAt(record, 8 + 2 * j);
            if (high < 0 || low < 0 || address + j >= memory.size())
                return {};
            memory[address + j] = char(16 * high + low);
        }
    }
    const TBlockRange range = BlockRange(image);
    return memory.mid(range.First, range.Last - range.First + 1);
}

bool SendBootloader(TLink &link, TBootloaderImage image)
{
    try {
        link.ShowStatus(FlowTexts::BootTexts::PreparingBootloader, 2);

        const QByteArray block = BootloaderBlock(image);
        if (block.isEmpty())
            return false;

        // A press of Stop is final here: no question is asked while the bootloader goes out.
        if (link.State.StopRequested)
            return false;

        link.ShowStatus(FlowTexts::BootTexts::SendingBootloader, 2);

        // The lead-in byte goes out on its own, then the whole block in one write.
        if (!link.SendChar(0xF0)) {
            link.ShowStatus(LinkTexts::SendFailed, 1);
            return false;
        }
        if (!link.SendText(block)) {
            link.ShowStatus(LinkTexts::SendFailed, 1);
            return false;
        }

        link.ShowStatus(FlowTexts::BootTexts::BootloaderSent, 2);
        if (link.State.StopRequested)
            return false;

        // Time for the unit to start the program it has just received.
        link.PumpWait(3000);
        return !link.State.StopRequested;
    } catch (...) {
        return false;
    }
}
