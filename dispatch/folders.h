#pragma once
// The folder tree below the data root, in Windows form (the data root ends with "\").
#include <string>

namespace orvex::dispatch {

inline const std::string kWorkDir = "CMail\\";
inline const std::string kOutbox = "CMail\\Ausgang\\";
inline const std::string kFailure = "CMail\\Ausgang\\failure\\";
inline const std::string kQuarantine = "CMail\\Ausgang\\quarantine\\";
inline const std::string kArchive = "CMail\\Ausgang\\Archiv";
inline const std::string kSent = "CMail\\gesendet\\";
inline const std::string kConnectionFile = "CMail\\Verbindung.dat";
inline const std::string kWhitelistFile = "CMail\\WhiteList.mad";
inline const std::string kImportFile = "CMail\\NeueWMails.csv";
inline const std::string kLogTable = "CMAIL\\LOG_BREVOR";  // the driver adds ".DBF"
inline const std::string kClient = "CMail\\cmail.exe";
inline const std::string kErrorMailResult = "Fehlermail.result";

}  // namespace orvex::dispatch
