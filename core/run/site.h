#pragma once

#include <QString>

// The real site's addresses.
namespace Site {

// Profile pages are this followed by the ID in decimal.
const QString &fetchBaseUrl();
// A profile in the browser: this followed by the row's 主页ID cell.
const QString &browseBaseUrl();

} // namespace Site
