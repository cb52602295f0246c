#pragma once
// The modal message window: a longer text in an editable panel with an OK button.
#include <string>

class QWidget;

namespace orvex {

// Shows cString titled cTitle, owned by oDlg1, nXsize x nYsize pixels. lModal: application-modal
// with its own loop until the first close request; otherwise shown for ten seconds (a pace).
// Returns the text with leading blanks removed: as edited when closed with OK, else cString.
std::string Modaldialog_ml(const std::string& cString, const std::string& cTitle, QWidget* oDlg1,
                           int nXsize, int nYsize, bool lModal);

}  // namespace orvex
