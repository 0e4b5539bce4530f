#pragma once

#include <QString>

// Icons of the report boxes.
enum class TBoxIcon { None, Warning, Question };

// Everything the checks and update flows show to the technician, and the one way they keep the
// window alive. The main window implements it with real widgets and message boxes; tests use a
// recorder that answers questions from a script.
class TOperatorSurface {
public:
    virtual ~TOperatorSurface() = default;

    // Status line (StatusBar1, one simple panel).
    virtual void SetStatusText(const QString &text) = 0;
    virtual QString StatusText() const = 0;

    // A report box: OK only, no owner window, application-modal.
    virtual void ReportBox(const QString &text, const QString &title, TBoxIcon icon) = 0;

    // A question box: Yes and No, question icon, no owner window. True for Yes.
    virtual bool AskYesNo(const QString &text, const QString &title) = 0;

    // The progress gauge (ProgressBar1) and the lines-sent label (LabelSREClines).
    virtual void SetGaugeMaximum(int maximum) = 0;
    virtual void SetGaugePosition(int position) = 0;
    virtual void SetLinesSent(const QString &caption) = 0;

    // Handles every window event already queued and returns without waiting.
    virtual void ProcessPendingMessages() = 0;

    // The file name of the open-file dialog (OpenDialog1): the update file the check and the
    // flows read.
    virtual QString UpdateFileName() const = 0;

    // Caption of the file warning label (LabelFileWarning) on the port-and-file page.
    virtual void SetFileWarning(const QString &text) = 0;
};
