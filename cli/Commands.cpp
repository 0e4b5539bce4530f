#include "cli/Commands.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "cli/CliTexts.h"
#include "cli/ConsoleSurface.h"
#include "cli/ExitCodes.h"
#include "cli/HelpText.h"
#include "cli/ProgressText.h"
#include "cli/UnitLookup.h"
#include "station/UpdateReport.h"
#include "seriallink/LinkClock.h"
#include "seriallink/PortScan.h"
#include "seriallink/TComPort.h"
#include "updatefile/FileNameRules.h"
#include "updatefile/FileSummary.h"
#include "updatefile/FormatCheck.h"

namespace {
QString Text(const char *text)
{
    return QString::fromUtf8(text);
}

QString Hex4(quint16 value)
{
    return QStringLiteral("%1").arg(uint(value), 4, 16, QLatin1Char('0'));
}

QString BusyReason(TPortBusy busy)
{
    switch (busy) {
    case TPortBusy::Free: return QStringLiteral("free");
    case TPortBusy::NoPermission: return QStringLiteral("no-permission");
    case TPortBusy::Held: return QStringLiteral("held");
    case TPortBusy::Gone: return QStringLiteral("gone");
    case TPortBusy::Unreachable: return QStringLiteral("unreachable");
    }
    return {};
}

QJsonValue OptionalId(const std::optional<quint16> &id)
{
    return id ? QJsonValue(Hex4(*id)) : QJsonValue();
}

QString HolderText(const std::optional<TPortHolder> &holder)
{
    if (!holder)
        return QString();
    return QStringLiteral("%1 (pid %2)")
        .arg(holder->Program.isEmpty() ? QStringLiteral("a program") : holder->Program)
        .arg(holder->Pid);
}

QString Address(quint32 address, TRecordVariant variant)
{
    const int digits = variant == TRecordVariant::Addr16 ? 4 : variant == TRecordVariant::Addr24 ? 6 : 8;
    return QStringLiteral("0x") + QString::number(address, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

// "none", or the count of the lines and the numbers of the first ten of those named.
QString LineNumbers(qint64 count, const std::vector<qint64> &lines)
{
    if (count == 0)
        return QStringLiteral("none");
    QStringList numbers;
    for (size_t i = 0; i < lines.size() && i < 10; ++i)
        numbers << QString::number(lines[i]);
    QString text = QStringLiteral("%1 (line%2 %3%4)")
                       .arg(count)
                       .arg(count == 1 ? QString() : QStringLiteral("s"))
                       .arg(numbers.join(QStringLiteral(", ")))
                       .arg(count > qint64(numbers.size()) ? QStringLiteral(", ...") : QString());
    return text;
}

QJsonArray NumberArray(const std::vector<qint64> &lines)
{
    QJsonArray array;
    for (qint64 line : lines)
        array.append(line);
    return array;
}
} // namespace

int Fail(QTextStream &err, int code, const QString &text)
{
    err << Text(CliTexts::ErrorPrefix) << text << '\n';
    err.flush();
    return code;
}

int RunCli(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const TCliParse parse = ParseCommandLine(arguments);
    if (!parse.Ok)
        return Fail(err, ExitCode::Usage, parse.Error);
    const TCliOptions &options = parse.Options;
    if (options.Help) {
        out << HelpText(options.Command);
        out.flush();
        return ExitCode::Completed;
    }
    if (options.Version) {
        out << VersionText() << '\n';
        out.flush();
        return ExitCode::Completed;
    }
    try {
        switch (options.Command) {
        case TCliCommand::Ports: return RunPortsCommand(options, out, err);
        case TCliCommand::Units: return RunUnitsCommand(options, out, err);
        case TCliCommand::Check: return RunCheckCommand(options, out, err);
        case TCliCommand::Update:
            return options.JobPath.isEmpty() ? RunUpdateCommand(options, out, err) : RunJobUpdateCommand(options, out, err);
        case TCliCommand::Report: return RunReportCommand(options, out, err);
        case TCliCommand::Job: return RunJobCommand(options, out, err);
        case TCliCommand::None: break;
        }
    } catch (const std::exception &e) {
        return Fail(err, ExitCode::Unexpected, QStringLiteral("unexpected error: %1").arg(QString::fromLocal8Bit(e.what())));
    } catch (...) {
        return Fail(err, ExitCode::Unexpected, QStringLiteral("unexpected error"));
    }
    return Fail(err, ExitCode::Usage, QStringLiteral("no command given (see varnel-cli --help)"));
}

int RunPortsCommand(const TCliOptions &options, QTextStream &out, QTextStream &)
{
    TComPort port;
    TSystemClock clock;
    TWizardState state;
    TConsoleSurface surface(nullptr, QString());
    TLink link(surface, port, clock, state);
    const QList<TScannedPort> ports = ScanSerialPorts(link);

    if (options.Json) {
        QJsonArray array;
        for (const TScannedPort &p : ports) {
            QJsonObject object;
            object.insert(QStringLiteral("name"), p.Name);
            object.insert(QStringLiteral("busy"), p.Busy != TPortBusy::Free);
            object.insert(QStringLiteral("reason"), BusyReason(p.Busy));
            object.insert(QStringLiteral("description"), p.Facts.Description);
            object.insert(QStringLiteral("manufacturer"), p.Facts.Manufacturer);
            object.insert(QStringLiteral("serialNumber"), p.Facts.SerialNumber);
            object.insert(QStringLiteral("vendorId"), OptionalId(p.Facts.VendorId));
            object.insert(QStringLiteral("productId"), OptionalId(p.Facts.ProductId));
            object.insert(QStringLiteral("byIdLink"), p.Facts.ByIdLink);
            object.insert(QStringLiteral("friendlyName"), p.Facts.FriendlyName);
            object.insert(QStringLiteral("locationPath"), p.Facts.LocationPath);
            object.insert(QStringLiteral("bluetooth"), p.Facts.Bluetooth);
            object.insert(QStringLiteral("overNetwork"), p.Facts.OverNetwork);
            object.insert(QStringLiteral("latencyTimerMs"),
                          p.Facts.LatencyTimerMs ? QJsonValue(*p.Facts.LatencyTimerMs) : QJsonValue());
            if (p.Holder) {
                QJsonObject holder;
                holder.insert(QStringLiteral("pid"), p.Holder->Pid);
                holder.insert(QStringLiteral("program"), p.Holder->Program);
                object.insert(QStringLiteral("holder"), holder);
            } else {
                object.insert(QStringLiteral("holder"), QJsonValue());
            }
            array.append(object);
        }
        out << QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact)) << '\n';
        out.flush();
        return ExitCode::Completed;
    }

    if (ports.isEmpty()) {
        out << Text(CliTexts::NoPorts) << '\n';
        out.flush();
        return ExitCode::Completed;
    }
    for (const TScannedPort &p : ports) {
        QStringList fields;
        fields << p.Name + (p.Busy == TPortBusy::Free ? QString() : Text(BusyPortSuffix));
        if (!p.Facts.FriendlyName.isEmpty())
            fields << p.Facts.FriendlyName;
        if (!p.Facts.Description.isEmpty() && p.Facts.Description != p.Facts.FriendlyName)
            fields << p.Facts.Description;
        if (!p.Facts.Manufacturer.isEmpty())
            fields << p.Facts.Manufacturer;
        if (!p.Facts.SerialNumber.isEmpty())
            fields << Text(CliTexts::PortSerial).arg(p.Facts.SerialNumber);
        if (p.Facts.VendorId && p.Facts.ProductId)
            fields << Hex4(*p.Facts.VendorId) + QLatin1Char(':') + Hex4(*p.Facts.ProductId);
        if (!p.Facts.ByIdLink.isEmpty())
            fields << p.Facts.ByIdLink;
        if (!p.Facts.LocationPath.isEmpty())
            fields << Text(CliTexts::PortLocation).arg(p.Facts.LocationPath);
        if (p.Facts.Bluetooth)
            fields << Text(CliTexts::PortBluetooth);
        if (p.Facts.OverNetwork)
            fields << Text(CliTexts::PortOverNetwork);
        if (p.Facts.LatencyTimerMs && *p.Facts.LatencyTimerMs > 1)
            fields << Text(CliTexts::PortSlowLatency).arg(*p.Facts.LatencyTimerMs);
        if (p.Busy == TPortBusy::NoPermission)
            fields << Text(CliTexts::PortNoPermission);
        else if (p.Busy == TPortBusy::Gone)
            fields << Text(CliTexts::PortGone);
        else if (p.Busy == TPortBusy::Unreachable)
            fields << Text(CliTexts::PortUnreachable);
        else if (p.Busy == TPortBusy::Held)
            fields << (p.Holder ? Text(CliTexts::PortHeldBy).arg(HolderText(p.Holder)) : Text(CliTexts::PortHeld));
        out << PrintableName(fields.join(QStringLiteral("  "))) << '\n'; // names from the system, shown safely
    }
    out.flush();
    return ExitCode::Completed;
}

int RunUnitsCommand(const TCliOptions &options, QTextStream &out, QTextStream &)
{
    const std::vector<int> offered = OfferedUnits(options.BrandChoice);
    if (options.Json) {
        QJsonArray array;
        for (int code : offered) {
            const TUnitType *unit = FindUnitType(code);
            if (!unit)
                continue;
            QJsonObject object;
            object.insert(QStringLiteral("code"), unit->Code);
            object.insert(QStringLiteral("brand"), unit->Brand == FirstBrand ? QStringLiteral("first") : QStringLiteral("second"));
            object.insert(QStringLiteral("fullName"), unit->FullName);
            object.insert(QStringLiteral("shortName"), unit->ShortName);
            object.insert(QStringLiteral("prefixes"), QJsonArray::fromStringList(unit->Prefixes));
            object.insert(QStringLiteral("recordVariant"), VariantName(unit->Variant));
            object.insert(QStringLiteral("flow"), FlowName(unit->Flow));
            array.append(object);
        }
        out << QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact)) << '\n';
        out.flush();
        return ExitCode::Completed;
    }

    qsizetype shortWidth = 10, fullWidth = 9, prefixWidth = 8;
    for (int code : offered) {
        if (const TUnitType *unit = FindUnitType(code)) {
            shortWidth = qMax(shortWidth, unit->ShortName.size());
            fullWidth = qMax(fullWidth, unit->FullName.size());
            prefixWidth = qMax(prefixWidth, unit->Prefixes.join(QLatin1Char(',')).size());
        }
    }
    const auto row = [&](const QString &code, const QString &shortName, const QString &fullName, const QString &prefixes,
                         const QString &variant, const QString &flow) {
        return (code.leftJustified(4) + QStringLiteral("  ") + shortName.leftJustified(shortWidth) + QStringLiteral("  ")
                + fullName.leftJustified(fullWidth) + QStringLiteral("  ") + prefixes.leftJustified(prefixWidth)
                + QStringLiteral("  ") + variant.leftJustified(7) + QStringLiteral("  ") + flow)
            .trimmed();
    };
    out << row(QStringLiteral("CODE"), QStringLiteral("SHORT NAME"), QStringLiteral("FULL NAME"), QStringLiteral("PREFIXES"),
               QStringLiteral("RECORDS"), QStringLiteral("FLOW"))
        << '\n';
    for (int code : offered) {
        if (const TUnitType *unit = FindUnitType(code))
            out << row(QString::number(unit->Code), unit->ShortName, unit->FullName, unit->Prefixes.join(QLatin1Char(',')),
                       VariantName(unit->Variant), FlowName(unit->Flow))
                << '\n';
    }
    out.flush();
    return ExitCode::Completed;
}

int RunCheckCommand(const TCliOptions &options, QTextStream &out, QTextStream &err)
{
    QString error;
    const TUnitType *unit = LookUpUnit(options.Unit, OfferedUnits(options.BrandChoice), error);
    if (!unit)
        return Fail(err, ExitCode::UnknownUnit, error);
    const QFileInfo info(options.File);
    const QString path = info.absoluteFilePath();
    if (!info.exists())
        return Fail(err, ExitCode::FileProblem, Text(CliTexts::FileMissing).arg(PrintableName(options.File)));
    if (!info.isFile())
        return Fail(err, ExitCode::FileProblem, Text(CliTexts::FileNotAFile).arg(PrintableName(options.File)));

    QString warning;
    const bool nameFits = CheckUpdateFileName(unit->Code, path, warning);
    if (!options.Json) {
        out << Text(CliTexts::CheckFile).arg(PrintableName(path)) << '\n';
        out << Text(CliTexts::CheckUnit).arg(QString::number(unit->Code), unit->ShortName, VariantName(unit->Variant))
            << '\n';
        out << (nameFits ? Text(CliTexts::CheckNameFits) : Text(CliTexts::CheckName).arg(warning)) << '\n';
        out.flush();
    }

    // The format check as the window runs it, on a surface that prints its texts and boxes.
    TWizardState state;
    TConsoleSurface surface(options.Json ? nullptr : &out, path);
    const int result = CheckUpdateFileFormat(surface, state, unit->Variant);
    const bool accepted = result > 0;

    const std::optional<TFileSummary> summary = SummariseUpdateFile(path);
    if (options.Json) {
        QJsonObject object;
        object.insert(QStringLiteral("file"), path);
        QJsonObject unitObject;
        unitObject.insert(QStringLiteral("code"), unit->Code);
        unitObject.insert(QStringLiteral("shortName"), unit->ShortName);
        unitObject.insert(QStringLiteral("recordVariant"), VariantName(unit->Variant));
        object.insert(QStringLiteral("unit"), unitObject);
        object.insert(QStringLiteral("nameFits"), nameFits);
        object.insert(QStringLiteral("nameWarning"), nameFits ? QString() : warning);
        object.insert(QStringLiteral("accepted"), accepted);
        object.insert(QStringLiteral("records"), accepted ? result - 1 : 0);
        object.insert(QStringLiteral("messages"), surface.Messages());
        if (summary) {
            QJsonObject s;
            s.insert(QStringLiteral("size"), summary->FileSize);
            s.insert(QStringLiteral("sha256"), QString::fromLatin1(summary->Sha256Hex));
            s.insert(QStringLiteral("lines"), summary->Lines);
            QJsonObject byType;
            for (auto it = summary->RecordsByType.cbegin(); it != summary->RecordsByType.cend(); ++it)
                byType.insert(QString::fromLatin1(it.key()), it.value());
            s.insert(QStringLiteral("recordsByType"), byType);
            s.insert(QStringLiteral("otherLines"), summary->OtherLines);
            s.insert(QStringLiteral("dataBytes"), summary->DataBytes);
            s.insert(QStringLiteral("lowestAddress"),
                     summary->LowestAddress ? QJsonValue(qint64(*summary->LowestAddress)) : QJsonValue());
            s.insert(QStringLiteral("highestAddress"),
                     summary->HighestAddress ? QJsonValue(qint64(*summary->HighestAddress)) : QJsonValue());
            // The counts are of all such lines; the arrays name the first of them.
            s.insert(QStringLiteral("badChecksumCount"), summary->BadChecksumCount);
            s.insert(QStringLiteral("badChecksumLines"), NumberArray(summary->BadChecksumLines));
            s.insert(QStringLiteral("malformedCount"), summary->MalformedCount);
            s.insert(QStringLiteral("malformedLines"), NumberArray(summary->MalformedLines));
            object.insert(QStringLiteral("summary"), s);
        } else {
            object.insert(QStringLiteral("summary"), QJsonValue());
        }
        out << QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) << '\n';
        out.flush();
    } else {
        out << (accepted ? Text(CliTexts::CheckAccepted).arg(result - 1) : Text(CliTexts::CheckRejected)) << '\n';
        if (summary) {
            QStringList types;
            for (auto it = summary->RecordsByType.cbegin(); it != summary->RecordsByType.cend(); ++it)
                types << QStringLiteral("%1 %2").arg(QString::fromLatin1(it.key())).arg(it.value());
            out << Text(CliTexts::SummaryHead) << '\n';
            out << Text(CliTexts::SummarySize).arg(summary->FileSize) << '\n';
            out << Text(CliTexts::SummaryLines).arg(summary->Lines) << '\n';
            out << Text(CliTexts::SummaryRecords).arg(types.isEmpty() ? QStringLiteral("none") : types.join(QStringLiteral(", ")))
                << '\n';
            out << Text(CliTexts::SummaryOther).arg(summary->OtherLines) << '\n';
            out << Text(CliTexts::SummaryDataBytes).arg(summary->DataBytes) << '\n';
            if (summary->LowestAddress && summary->HighestAddress)
                out << Text(CliTexts::SummaryAddresses)
                           .arg(Address(*summary->LowestAddress, unit->Variant), Address(*summary->HighestAddress, unit->Variant))
                    << '\n';
            else
                out << Text(CliTexts::SummaryNoAddresses) << '\n';
            out << Text(CliTexts::SummaryBadChecksums).arg(LineNumbers(summary->BadChecksumCount, summary->BadChecksumLines)) << '\n';
            out << Text(CliTexts::SummaryMalformed).arg(LineNumbers(summary->MalformedCount, summary->MalformedLines)) << '\n';
            out << Text(CliTexts::SummarySha).arg(QString::fromLatin1(summary->Sha256Hex)) << '\n';
        } else {
            out << Text(CliTexts::SummaryUnreadable) << '\n';
        }
        out.flush();
    }
    return accepted ? ExitCode::Completed : ExitCode::FileProblem;
}

int RunReportCommand(const TCliOptions &options, QTextStream &out, QTextStream &err)
{
    // The report's own complaints, named as the program's like every other error line.
    QString complaints;
    QTextStream complaintStream(&complaints);
    const int code = PrintReport(options.File, options.Csv, out, complaintStream);
    complaintStream.flush();
    out.flush();
    for (const QString &line : complaints.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        err << Text(CliTexts::ErrorPrefix) << line << '\n';
    err.flush();
    return code;
}
