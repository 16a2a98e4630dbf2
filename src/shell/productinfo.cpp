#include "shell/productinfo.h"

#ifdef Q_OS_WIN
#include <QByteArray>
#include <QCoreApplication>
#include <QDir>

#include <windows.h>
#endif

namespace {

ProductInfo builtInProductInfo() {
    return {QStringLiteral(KELVANE_PRODUCT_NAME), KELVANE_VERSION_MAJOR, KELVANE_VERSION_MINOR,
            KELVANE_VERSION_PATCH};
}

#ifdef Q_OS_WIN
bool resourceProductInfo(ProductInfo *info) {
    const std::wstring path =
        QDir::toNativeSeparators(QCoreApplication::applicationFilePath()).toStdWString();
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0)
        return false;
    QByteArray data(qsizetype(size), Qt::Uninitialized);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data()))
        return false;

    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void **>(&fixed), &length) || !fixed ||
        length < sizeof(VS_FIXEDFILEINFO))
        return false;

    // The string table named by the first translation entry holds the product name.
    struct Translation {
        WORD language;
        WORD codePage;
    } *translation = nullptr;
    if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void **>(&translation),
                        &length) ||
        !translation || length < sizeof(Translation))
        return false;
    const std::wstring key = QStringLiteral("\\StringFileInfo\\%1%2\\ProductName")
                                 .arg(translation->language, 4, 16, QLatin1Char('0'))
                                 .arg(translation->codePage, 4, 16, QLatin1Char('0'))
                                 .toStdWString();
    wchar_t *name = nullptr;
    if (!VerQueryValueW(data.data(), key.c_str(), reinterpret_cast<void **>(&name), &length) || !name ||
        length == 0)
        return false;

    info->name = QString::fromWCharArray(name, int(wcsnlen(name, length)));
    info->major = HIWORD(fixed->dwFileVersionMS);
    info->minor = LOWORD(fixed->dwFileVersionMS);
    info->revision = LOWORD(fixed->dwFileVersionLS);
    return !info->name.isEmpty();
}
#endif

} // namespace

ProductInfo productInfo() {
#ifdef Q_OS_WIN
    ProductInfo info;
    if (resourceProductInfo(&info))
        return info;
#endif
    return builtInProductInfo();
}
