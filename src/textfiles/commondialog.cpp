#include "textfiles/commondialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>
#include <QWidget>

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

bool CommonDialog::show(bool save) {
    QFileDialog dialog(m_owner, DialogTitle);
    dialog.setObjectName(QStringLiteral("dlgCommon"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
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
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty())
        return false;
    FileName = QDir::toNativeSeparators(chosen.first());
    return true;
}
