#pragma once

#include <functional>

#include "app/MainForm.h"

// The main window of the demonstration: the same window as the program's, which also tells a
// watcher about every status text and every move of the progress gauge.
class TDemoMainF : public TMainF {
    Q_OBJECT

public:
    using TMainF::TMainF;

    std::function<void(const QString &)> OnStatus;
    std::function<void(int position, int maximum)> OnProgress;

    void SetStatusText(const QString &text) override
    {
        TMainF::SetStatusText(text);
        if (OnStatus)
            OnStatus(text);
    }
    void SetGaugeMaximum(int maximum) override
    {
        TMainF::SetGaugeMaximum(maximum);
        maximum_ = maximum;
    }
    void SetGaugePosition(int position) override
    {
        TMainF::SetGaugePosition(position);
        if (OnProgress)
            OnProgress(position, maximum_);
    }

private:
    int maximum_ = 100;
};
