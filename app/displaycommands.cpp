// How a window's curves and axes look: the display properties of a curve, the axes dialog, the preferences
// and their file, and the folder Open and Save offer.
#include "app/CurvePreferences.h"
#include "app/curvewin.h"
#include "app/shareddialogs.h"
#include "plot/AxisScaleDlg.h"
#include "plot/CurvePanels.h"
#include "plot/CurveProps.h"
#include "plot/SpecialCombos.h"
#include "plot/UserMessages.h"
#include "plot/undohistory.h"
#include "plot/w_curve.h"

#include <QCheckBox>
#include <QDir>
#include <QRadioButton>
#include <QSpinBox>

#include <cmath>

namespace {
// The folder last used for Open or Save in any window of this session.
QString& SessionDataDir() {
    static QString dir;
    return dir;
}

// Keeps a window's cursor off while one of its dialogs shows, and puts it back.
class TCursorOff {
public:
    explicit TCursorOff(TCurvePanel* panel) : panel_(panel), on_(panel->IsCursorShown()) {
        panel_->SetCursorShown(false);
    }
    ~TCursorOff() {
        if (on_ && panel_->CurveCount() > 0) panel_->SetCursorShown(true);
    }
    TCursorOff(const TCursorOff&) = delete;
    TCursorOff& operator=(const TCursorOff&) = delete;

private:
    TCurvePanel* panel_;
    bool on_;
};

TAxesValues AxesValuesOf(const TGrid& g) {
    TAxesValues v;
    v.X1 = g.WorldMin.x;
    v.X2 = g.WorldMax.x;
    v.Y1 = g.WorldMin.y;
    v.Y2 = g.WorldMax.y;
    v.XDiv = g.XDiv;
    v.YDiv = g.YDiv;
    v.XCaption = g.XCaption;
    v.YCaption = g.YCaption;
    v.Title = g.Title;
    v.XLog = g.XLog;
    v.YLog = g.YLog;
    return v;
}

// A maximum that is not above its minimum is raised by 1, or by enough to make a difference at that
// magnitude.
double RaisedMaximum(double min, double max) {
    return min < max ? max : min + std::max(1.0, std::fabs(min) * 1e-9);
}
} // namespace

// ---------------------------------------------------------------- display properties and axes

void Tcurvewindow::CurveDisplay() {
    if (CurvePanel->CurveCount() == 0) return;
    const TCursorOff cursorOff(CurvePanel);
    TCurveProperties& d = SharedDialog<TCurveProperties>();
    d.Window = this;
    d.PreviewBackColor = CurvePanel->Grid().BackgrColor;
    d.setWindowTitle(QStringLiteral("Display Properties - Curve #%1").arg(CurvePanel->ActiveIndex()));
    d.exec();
}

void Tcurvewindow::AxesClick() {
    TAxesDlg& d = SharedDialog<TAxesDlg>();
    d.Window = this;
    const TCursorOff cursorOff(CurvePanel);
    Notify(notify::AxesAction, 2, 0);
    d.exec();
}

void Tcurvewindow::InstallDisplay() {
    OnNotify(notify::LoadDisplayProps, [this](int32_t n, int32_t) -> intptr_t {
        TCurveProperties& d = SharedDialog<TCurveProperties>();
        if (n == 0) n = CurvePanel->ActiveIndex();
        const TPlottedCurve* c = CurvePanel->Curve(n);
        if (c == nullptr) return 0;
        d.CurveNumber = n;
        d.ShowStyle(c->GetStyle(), c->HasSigma());
        return 0;
    });
    OnNotify(notify::StoreDisplayProps, [this](int32_t n, int32_t) -> intptr_t {
        const TCurveProperties& d = SharedDialog<TCurveProperties>();
        const TPlottedCurve* c = CurvePanel->Curve(n);
        if (!d.Modified || c == nullptr) return 0;
        CurvePanel->SetCurveStyle(n, d.EditedStyle(c->GetStyle()));
        return 0;
    });
    OnNotify(notify::AxesAction, [this](int32_t action, int32_t) -> intptr_t {
        TAxesDlg& d = SharedDialog<TAxesDlg>();
        TGrid& g = CurvePanel->Grid();
        if (action == 1) CurvePanel->CurveSet().RescaleAndRedraw();
        if (action != 0) {
            d.ShowValues(AxesValuesOf(g));
            return 0;
        }
        const TAxesValues v = d.Values();
        const TAxesState before = TAxesState::Of(g);
        g.WorldMin = {v.X1, v.Y1};
        g.WorldMax = {RaisedMaximum(v.X1, v.X2), RaisedMaximum(v.Y1, v.Y2)};
        g.XDiv = v.XDiv;
        g.YDiv = v.YDiv;
        g.XCaption = v.XCaption.left(MaxCaptionLength);
        g.YCaption = v.YCaption.left(MaxCaptionLength);
        g.Title = v.Title.left(MaxCaptionLength);
        g.SetXLog(v.XLog);
        g.SetYLog(v.YLog);
        // Also on an axis that was logarithmic already: a minimum of zero or below is never drawn.
        g.FixLogRange();
        d.ShowRange(g.WorldMin.x, g.WorldMax.x, g.WorldMin.y, g.WorldMax.y);
        CurvePanel->RefreshTableCaptions();
        CurvePanel->CurveSet().RecomputeAndRedraw();
        if (!(TAxesState::Of(g) == before)) CurvePanel->History().AxesChanged(before, QStringLiteral("Axes"));
        return 0;
    });
    // The main window keeps the preferences of the session when it closes.
    OnClose([this] {
        if (PrevWindow == nullptr) WritePreferences();
    });
}

// ---------------------------------------------------------------- preferences

void Tcurvewindow::PreferencesClick() {
    const TCursorOff cursorOff(CurvePanel);
    TCurvePrefs& d = SharedDialog<TCurvePrefs>();
    TGrid& g = CurvePanel->Grid();
    d.CursorInterpolation->setChecked(CurvePanel->Crosshair.Interpolate);
    d.ShowCurveStyle(DefaultCurveProps.Lines, DefaultCurveProps.Symbols);
    d.SymbolSizeEdit->setValue(DefaultCurveProps.SymbolSize);
    d.GridColor->SelectColor(g.color);
    d.CursorColor->SelectColor(CurvePanel->Crosshair.CursorColor);
    d.BackColor->SelectColor(g.BackgrColor);
    d.GridLines->setChecked(g.gridlines);
    d.ToolbarVisible->setChecked(ToolbarShown());
    d.Pages->setCurrentIndex(0);
    if (d.exec() == QDialog::Accepted) {
        CurvePanel->Crosshair.Interpolate = d.CursorInterpolation->isChecked();
        d.ChosenCurveStyle(DefaultCurveProps.Lines, DefaultCurveProps.Symbols);
        DefaultCurveProps.SymbolSize = d.SymbolSizeEdit->value();
        g.BackgrColor = d.BackColor->SelectedColor();
        g.color = d.GridColor->SelectedColor();
        g.gridlines = d.GridLines->isChecked();
        CurvePanel->Crosshair.CursorColor = d.CursorColor->SelectedColor();
        ShowToolbar(d.ToolbarVisible->isChecked());
    }
    CurvePanel->CurveSet().Redraw();
    WritePreferences();
}

void Tcurvewindow::ReadPreferences() {
    const TPreferences p = ReadPreferencesFile(PreferencesFile());
    // A folder used earlier in this session is more recent than the one in the file.
    if (!SessionDataDir().isEmpty())
        DataDir = SessionDataDir();
    else if (!p.Current.isEmpty())
        DataDir = p.Current;
    DefaultCurveProps.Lines = p.Lines;
    DefaultCurveProps.Symbols = p.Symbols;
    DefaultCurveProps.SymbolSize = p.SymbolSize;
    TGrid& g = CurvePanel->Grid();
    g.color = p.GridColor;
    g.gridlines = p.GridLines;
    g.BackgrColor = p.BackColor;
    CurvePanel->Crosshair.CursorColor = p.CursorColor;
    g.RoundTicks = p.RoundTicks;
    CurvePanel->SetLegendShown(p.Legend);
    FunctionLibraryFile = LibraryFileFor(p.FunctionLiabrary);
    SetNewCurveMode(p.NewCurveMode);
    // Switching auto update on rescales the axes; at the first show there is nothing to rescale to.
    if (p.AutoUpdate != CurvePanel->AutoUpdate) CurvePanel->SetAutoUpdate(p.AutoUpdate);
    CurvePanel->CurveSet().Redraw();
    UpdateCommands();
}

void Tcurvewindow::WritePreferences() {
    TPreferences p;
    p.Current = SessionDataDir().isEmpty() ? DataDir : SessionDataDir();
    p.Lines = DefaultCurveProps.Lines;
    p.Symbols = DefaultCurveProps.Symbols;
    p.SymbolSize = DefaultCurveProps.SymbolSize;
    const TGrid& g = CurvePanel->Grid();
    p.GridColor = g.color;
    p.GridLines = g.gridlines;
    p.BackColor = g.BackgrColor;
    p.CursorColor = CurvePanel->Crosshair.CursorColor;
    p.NewCurveMode = NewCurveMode;
    p.AutoUpdate = CurvePanel->AutoUpdate;
    p.Legend = CurvePanel->LegendShown();
    p.RoundTicks = g.RoundTicks;
    // Every use of Preferences and the close of the main window write the file: a failure is told once, not
    // at each later write that fails for the same reason, and told again after a write that succeeded.
    static QString reported;
    QString error;
    if (WritePreferencesFile(PreferencesFile(), p, !FitPanel.isNull(), error)) {
        reported.clear();
    } else if (error != reported) {
        reported = error;
        Messages().Error(this, error);
    }
}

void Tcurvewindow::SetDataDir(const QString& folder) {
    DataDir = QDir(folder).absolutePath() + QLatin1Char('/');
    SessionDataDir() = DataDir;
}
