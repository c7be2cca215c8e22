#pragma once
// The block creator: a modeless dialog in which the user turns closed polylines of the drawing that
// was current when it opened into room space blocks, one pick after another. It proposes the next
// space name and the next free "ROOM-" number, and keeps the label's text size, scale and rotation
// in the preferences file at every change. It deletes itself when it is closed.
#include <cstdint>

#include "cad/AcDb.h"
#include "classlib/AfxWin.h"
#include "core/Preferences.h"
#include "resources/Resource.h"

class CAcadDrawing;

class CPresBlockCreation : public CDialog {
public:
    enum { IDD = IDD_BLOCK_CREATION };

    explicit CPresBlockCreation(CWnd* pParent = nullptr);
    ~CPresBlockCreation() override;

    void setHostDirectory(CString hostDirectory) { m_hostDirectory = hostDirectory; }
    CString getHostDirectory() const { return m_hostDirectory; }
    void setAcadWindow(CWnd* acadWindow) { m_acadWindow = acadWindow; }
    CWnd* getAcadWindow() const { return m_acadWindow; }
    void setDrawing(CAcadDrawing* drawing) { m_drawing = drawing; }
    CAcadDrawing* getDrawing() const { return m_drawing; }

    void setNextIdentifier(int nextIdentifier) { m_nextIdentifier = nextIdentifier; }
    // "ROOM-" and the next identifier.
    CString getNextBlockIdentifier() const;
    void setNumberWidth(int numberWidth) { m_numberWidth = numberWidth; }
    int getNumberWidth() const { return m_numberWidth; }
    void setNextNumber(int nextNumber) { m_nextNumber = nextNumber; }
    int getNextNumber() const { return m_nextNumber; }
    // An empty prefix is ignored.
    void setNamePrefix(CString namePrefix);
    CString getNamePrefix() const { return m_namePrefix; }
    // The prefix and the next number, zero-padded to the number width (which grows to fit).
    void buildNextSpaceName();
    CString getNextSpaceName() const { return m_nextSpaceName; }
    // The next name after the given one: its trailing number plus the increment, as wide as before.
    void incrementSpaceName(CString name);
    const CStringArray& getExistingNames() const { return m_existingNames; }

    void setPreferences(const CPreferences& preferences);
    void setPreferences(int units, int precision, double textSize, double textScale, double textRotation);
    CPreferences* getPreferences() { return &m_preferences; }
    // Whether the text names one of the area types of a gross or net area plan.
    static bool isAreaTypeName(CString text);

    void loadPreferences();
    void savePreferences();

    void calcNextBlockIdentifier();
    CString getHighestExistingBlockName();
    // The trailing decimal digits of the name as a number (0 when it has none); always 1.
    static int getTrailingNumber(CString name, std::int64_t& number);
    void calcNextBlockName();
    void createBlock(CAcadDrawing* drawing, AcDbObjectId polylineId, int units, double textSize, double textScale,
                     double textRotation, int precision);
    void cleanUp();

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    // Enter in a box leaves the dialog open: hidden, nothing could bring it back.
    void OnOK() override;
    void OnCancel() override;

    afx_msg void OnCmdStart();
    afx_msg void OnCmdAbout();
    afx_msg void OnCmdExit();
    afx_msg void OnCmdSubArea();
    afx_msg void OnCmdOptions();
    afx_msg void OnChangeTextSize();
    afx_msg LRESULT OnAcadKeepFocus(WPARAM wParam, LPARAM lParam);
    afx_msg void OnRButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnBnClickedCmdAdd();
    afx_msg void OnChangeTextScale();
    afx_msg void OnChangeTextRotation();
    DECLARE_MESSAGE_MAP()

private:
    // Whether the drawing can be picked in. When not, the user is told why, and a closed drawing
    // closes the dialog too: the caller returns at once.
    bool documentUsable();
    void activateHost();
    void enableSessionButtons(BOOL enable);
    void enableTextBoxes(BOOL enable);
    void runSession();
    // The text of an edit box made numeric, and its value; the box shows the cleaned text.
    // The box's text read whole, as the dialog's data exchange reads it; false when it reads as no number.
    bool boxValue(int box, double& value) const;
    // The areas to subtract (315) or to add (335) of a picked space.
    void changeAreas(bool subtract);
    // Picks on the drawing and clicks on the dialog end here when they cannot go on.
    void closeDialog();

    CEdit m_textSizeEdit;
    CButton m_subAreaButton;
    CButton m_addAreaButton;
    CButton m_closeButton;
    CButton m_startButton;
    CString m_nextSpaceName;
    double m_textSize;
    double m_textScale;
    double m_textRotation;
    CString m_hostDirectory;
    CAcadDrawing* m_drawing;
    CWnd* m_acadWindow;
    int m_nextIdentifier;
    int m_numberWidth;
    CString m_namePrefix;
    int m_nextNumber;
    CStringArray m_existingNames;
    CPreferences m_preferences;
    CEdit m_textScaleEdit;
    CEdit m_textRotationEdit;
    // The text scale the preferences file held when the dialog opened; one the labels cannot take is
    // said once.
    double m_fileTextScale = 1.0;
    bool m_unusableScaleSaid = false;
};
