#pragma once
// The application-wide variables. Main owns the one instance; procedures receive App&.
#include <memory>
#include <string>
#include <vector>

#include "platform/table/workareas.h"

namespace orvex {

// A status panel as the dispatch sees it: the whole text, read and replaced (UTF-8).
class TextPanel {
 public:
  virtual ~TextPanel() = default;
  virtual std::string text() = 0;
  virtual void setText(const std::string& utf8) = 0;
};

// A button whose background colour (palette number 0..15) signals a state.
class SignalButton {
 public:
  virtual ~SignalButton() = default;
  virtual void setBackground(int colour) = 0;
  virtual int background() const = 0;
};

// What the program asks of the operator outside the panels. The window layer provides the real
// one; a headless run answers by its documented policy.
class OperatorUi {
 public:
  virtual ~OperatorUi() = default;
  virtual void message_box(const std::string& text) = 0;
  // Yes/No box with question icon, owned by the main window. True only for Yes.
  virtual bool confirm(const std::string& title, const std::string& message) = 0;
  // The modal message window; returns the (possibly edited) text.
  virtual std::string message_window(const std::string& text, const std::string& title, int width,
                                     int height) = 0;
  virtual void tone(int hertz, int hundredths) = 0;
  // Waits up to hundredths for a key press; a key ends the wait early and is consumed.
  // Not a pace: the retry protocols of the table helpers wait here.
  virtual bool wait_for_key(int hundredths) = 0;
  virtual void set_title(const std::string& title) = 0;
};

struct App {
  std::string cDatver = "C:\\XARV\\";
  std::string cObver = "T:\\XARV\\";
  const std::string CRLF = "\r\n";

  TextPanel* oMle1 = nullptr;   // outbox overview
  TextPanel* oMle2 = nullptr;   // failure folder report
  TextPanel* oMle3 = nullptr;   // quarantine folder report
  TextPanel* oMle20 = nullptr;  // jobs still to send
  TextPanel* oMle30 = nullptr;  // mail being sent

  SignalButton* oXbpBS = nullptr;   // SENDEN
  SignalButton* oXbpBH = nullptr;   // HALT
  SignalButton* oXbpBEn = nullptr;  // Ende
  SignalButton* oXbpBW1 = nullptr;  // WIEDERHOLEN, failure folder
  SignalButton* oXbpBW2 = nullptr;  // WIEDERHOLEN, quarantine folder
  SignalButton* oXbpBna = nullptr;  // A  L  T - C
  SignalButton* oXbpBlb = nullptr;  // LOG
  SignalButton* oXbpBL1 = nullptr;  // leeren, failure folder
  SignalButton* oXbpBL2 = nullptr;  // leeren, quarantine folder

  OperatorUi* ui = nullptr;

  // Texts linked to the panels; they survive a rebuild of the main window.
  std::string cString, cMessage20, cMessage1, cMessage30, cMessage2;

  int nXSize = 1200;
  int nYSize = 750;
  double nX = 1.2;
  double nY = 0.75;
  double nH = 1.0;
  double nV = 1.0;

  int nAufSendung = 0;
  int nDauerlauf = 1;
  int nBeenden = 0;

  std::string cLPT = "LPT1";
  int nPPS = 25;
  int nPPZ = 42;
  int nPoffX = 0;
  int nPoffY = 0;
  int nZei = 1;
  int nSpa = 1;
  std::string cLPTSCR = "P";
  std::vector<std::string> aFonts{"10.COURIER NEW"};
  bool lSeiteLeer = true;

  std::string cNextSenden;
  std::string cTimerMin = "2";

  // Recipient of the error mails.
  std::string cPostmaster = "postmaster@orvex-mail.de";

  table::WorkAreas areas;
};

}  // namespace orvex
