#include "textfiles/commondialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>
#include <QWidget>

#ifndef Q_OS_WIN
#include <QDateTime>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLocale>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#endif

CommonDialog::CommonDialog(QWidget *owner) : QObject(owner), m_owner(owner) {}

bool CommonDialog::ShowOpen() {
    return show(false);
}
bool CommonDialog::ShowSave() {
    return show(true);
}

QString CommonDialog::qtFilter(const QString &filter) {
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts.at(i + 1).split(u';', Qt::SkipEmptyParts);
        for (QString &pattern : patterns) {
            pattern = pattern.trimmed();
            if (pattern == QLatin1String("*.*"))
                pattern = QStringLiteral("*");
        }
        filters << QStringLiteral("%1 (%2)").arg(parts.at(i), patterns.join(u' '));
    }
    return filters.join(QLatin1String(";;"));
}

#ifndef Q_OS_WIN
namespace {

// Widens the dialog's Size, Type and Date Modified columns (and the dialog with them) to show their
// longest entries whole; Qt sizes them for shorter texts ("128.88 GB", a two-digit year).
void fitColumns(QFileDialog &dialog) {
    auto *const tree = dialog.findChild<QTreeView *>(QStringLiteral("treeView"));
    if (!tree)
        return;
    QHeaderView *const header = tree->header();
    const QFontMetrics metrics(tree->font());
    const int margins = 2 * (tree->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, tree) + 1) + 4;
    const QLocale locale = QLocale::system();
    // The widest texts each column shows: sizes and dates as the file list formats them.
    const QDateTime wideDate(QDate(2026, 12, 28), QTime(23, 58, 58));
    const QStringList samples[] = {
        {locale.formattedDataSize(1023), locale.formattedDataSize(1023 * 1024 - 1),
         locale.formattedDataSize(qint64(1023) * 1024 * 1024 - 1)},
        {QStringLiteral("Folder"), QStringLiteral("txt File"), QStringLiteral("File")},
        {locale.toString(wideDate, QLocale::ShortFormat)},
    };
    for (int column = 1; column <= 3; ++column) {
        int width = header->sectionSizeHint(column);
        for (const QString &sample : samples[column - 1])
            width = std::max(width, metrics.horizontalAdvance(sample) + margins);
        header->resizeSection(column, std::max(width, header->sectionSize(column)));
    }
    // Once laid out, the dialog grows by what its list lacks for every column (and a scroll bar).
    const auto fitDialog = [&dialog, tree, header] {
        const int scrollBar = tree->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, tree);
        const int missing = header->length() + scrollBar - tree->viewport()->width();
        const int available = dialog.screen() ? dialog.screen()->availableGeometry().width() : dialog.width();
        if (missing <= 0)
            return;
        // Grown on both sides, so that it stays centred over the window.
        const int width = std::min(dialog.width() + missing, std::max(available, dialog.width()));
        dialog.move(dialog.x() - (width - dialog.width()) / 2, dialog.y());
        dialog.resize(width, dialog.height());
    };
    QTimer::singleShot(0, &dialog, fitDialog);
    // Entries wider still (an unusual type) widen their column once the folder is read.
    if (auto *const model = qobject_cast<QFileSystemModel *>(tree->model())) {
        QObject::connect(model, &QFileSystemModel::directoryLoaded, tree, [tree, header, fitDialog] {
            const QAbstractItemView *const view = tree;
            for (int column = 1; column <= 3; ++column)
                header->resizeSection(column,
                                      std::max(header->sectionSize(column), view->sizeHintForColumn(column)));
            fitDialog();
        });
    }
}

} // namespace
#endif

bool CommonDialog::show(bool save) {
    QFileDialog dialog(m_owner, DialogTitle);
    dialog.setObjectName(QStringLiteral("dlgCommon"));
#ifndef Q_OS_WIN
    // Windows has its own dialog, which the operator knows; elsewhere Qt's, whose columns are
    // fitted to their entries.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
#endif
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilters(qtFilter(Filter).split(QLatin1String(";;"), Qt::SkipEmptyParts));
    // The type list shows each description as given, "(*.txt)" and "All Files", not Qt's
    // "description (patterns)". Set after the filters: set before them, Qt forgets it.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    if (!FileName.isEmpty()) {
        const QFileInfo initial(QDir::fromNativeSeparators(FileName));
        dialog.setDirectory(initial.absolutePath());
        dialog.selectFile(initial.fileName());
    }
#ifndef Q_OS_WIN
    fitColumns(dialog);
#endif
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty())
        return false;
    FileName = QDir::toNativeSeparators(chosen.first());
    return true;
}
