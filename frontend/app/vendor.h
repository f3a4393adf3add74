#pragma once

#include <QString>

// The program's own names, numbers and addresses.
namespace Vendor {

inline const QString kProgramCaption = QStringLiteral("Ironquiver Self-Decryptor");
// The build's release number (the project's version), the one the module
// names as well.
inline const QString kOwnRelease = QStringLiteral(IVQA_RELEASE);
inline const QString kFullVersion = QStringLiteral("Ironquiver Self-Decryptor v" IVQA_RELEASE);

// IVQA_UPDATE_URL replaces the update address, so that tests can ask a
// server of their own.
inline const char kUpdateUrl[] = "http://update.ironquiver.example/version_en";
inline const char kUpdateUrlVariable[] = "IVQA_UPDATE_URL";
inline const char kUpdateAgent[] = "Ironquiver";

inline const QString kHomePage = QStringLiteral("http://www.ironquiver.example/");
inline const QString kHomePageHost = QStringLiteral("www.ironquiver.example");
inline const QString kContact = QStringLiteral("Ironquiver Support <support@ironquiver.example>");

} // namespace Vendor
