#pragma once

// A station window on a job of the test's, with bays resolved by a resolver the test controls
// (which adapters are plugged in) or by the real port list.
#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <set>

#include "app/station/BayTile.h"
#include "station/UnitLookup.h"
#include "app/station/StationWindow.h"

inline QString SampleFile()
{
    return QStringLiteral(VARNEL_SOURCE_DIR "/samples/T4200170.s19");
}

inline QString Sha256Of(const QString &path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return {};
    return QString::fromLatin1(hash.result().toHex());
}

inline const TUnitType &Tvr4200()
{
    QString error;
    const TUnitType *unit = LookUpUnit(QStringLiteral("TVR-4200"), OfferedUnits(false), error);
    EXPECT_NE(unit, nullptr) << error.toStdString();
    return *unit;
}

struct TStationRig {
    // sha256 the job pins, when not the sample file's own.
    explicit TStationRig(const QStringList &ports, const QString &sha256 = {})
    {
        job.Unit = QStringLiteral("TVR-4200");
        job.File = SampleFile();
        job.Sha256 = sha256.isEmpty() ? Sha256Of(SampleFile()) : sha256;
        job.Restart = false;
        job.Report = QStringLiteral("station.jsonl");
        job.JobPath = dir.filePath(QStringLiteral("line3.json"));
        for (int i = 0; i < ports.size(); ++i)
            job.Bays << TJobBay{QStringLiteral("A%1").arg(i + 1), ports[i]};
        window = std::make_unique<TStationWindow>(job, Tvr4200(), [this](const QList<TJobBay> &bays) {
            QList<TBayPort> resolved;
            for (const TJobBay &bay : bays) {
                TBayPort port;
                port.Bay = bay.Name;
                port.Given = bay.Port;
                if (!unplugged.count(bay.Name)) {
                    port.PortName = bay.Port;
                    port.Facts.SerialNumber = QStringLiteral("FT") + bay.Name;
                }
                resolved << port;
            }
            return resolved;
        });
        window->show();
    }

    TBayTile &Tile(int bay) const { return *window->Tile(bay); }

    QTemporaryDir dir;
    TJob job;
    std::set<QString> unplugged; // bays whose adapter the resolver does not find
    std::unique_ptr<TStationWindow> window;
};
