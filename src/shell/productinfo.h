#pragma once

#include <QString>

// The running program's product name and version, for its window title.
struct ProductInfo {
    QString name;
    int major = 0;
    int minor = 0;
    int revision = 0;
};

// On Windows these come from the exe's own version resource, so the title and the file's
// properties agree; elsewhere (and if the resource cannot be read) from the build's project version.
ProductInfo productInfo();
