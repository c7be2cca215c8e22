#pragma once
// The preferences dialog: units, area precision, default text size, scale and rotation, zoom
// border and the program that opens exported CSV files. It reads prefs.cfg when it is shown and
// writes it when it is confirmed (OK or the close box); Escape leaves the file as it was.
#include "classlib/AfxWin.h"
#include "core/Preferences.h"
#include "resources/Resource.h"

class CPresPreferences : public CDialog {
public:
    enum { IDD = IDD_PREFERENCES };

    explicit CPresPreferences(CWnd* pParent = nullptr);
    ~CPresPreferences() override;

    void setHostDirectory(CString hostDirectory) { m_hostDirectory = hostDirectory; }
    CString getHostDirectory() const { return m_hostDirectory; }

    // Clamped values are written back to the caller's variables as well.
    void setValues(int& units, int& precision, double& textSize, double& textScale, double& textRotation,
                   CString& csvOpener, double& zoomBorder);
    // After the dialog: the values saved, or, when it was cancelled, those it showed when it opened;
    // never a value its checks refused.
    void getValues(int& units, int& precision, double& textSize, double& textScale, double& textRotation,
                   CString& csvOpener, double& zoomBorder) const;

    // Shows the values of the preferences file (or its defaults), whatever was set before.
    INT_PTR DoModal() override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;
    afx_msg void OnClose();
    DECLARE_MESSAGE_MAP()

private:
    CString preferencesPath() const;
    void loadValues();
    // False when a value did not pass its check: its message was shown and nothing was saved.
    BOOL saveValues();

    double m_textSize;
    int m_units;
    int m_precision;
    CString m_csvOpener;
    CPreferences m_preferences;
    CString m_hostDirectory;
    double m_zoomBorder;
    double m_textScale;
    double m_textRotation;
    // The text scale and size the dialog opened with: stored ones outside the labels' range stay unless changed.
    double m_openingTextScale = 1.0;
    double m_openingTextSize = 250.0;
};
