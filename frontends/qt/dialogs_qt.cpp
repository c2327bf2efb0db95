// The dialogs the core asks for: a line of input (the PIN), a file name to save to, a
// message box; and the clipboard's text.
#include <QClipboard>
#include <QDialog>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "frontends/qt/main_window_qt.h"
#include "frontends/qt/window_qt.h"
#include "ui/captions.h"

Text QtFrontend::AskInput(TextView title, TextView prompt, TextView defaultText, bool secret) {
    QDialog dialog(MainWindow());
    dialog.setWindowTitle(Q(title));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(Q(prompt), &dialog));
    auto* field = new QLineEdit(Q(defaultText), &dialog);
    field->setObjectName("input");
    if (secret) field->setEchoMode(QLineEdit::Password);
    layout->addWidget(field);
    auto* ok = new QPushButton(Q(kOkCaption), &dialog);
    ok->setDefault(true);
    layout->addWidget(ok);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    bool wasDraining = SetDraining(false);
    dialog.exec();
    SetDraining(wasDraining);
    // Closing the dialog gives what was typed so far, as OK does.
    return T(field->text());
}

Text QtFrontend::AskSaveFileName(TextView title, TextView filter, TextView folder) {
    // "display|pattern|display|pattern" becomes Qt's "display (pattern);;display (pattern)".
    QStringList parts = Q(filter).split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters << parts[i] + " (" + QString(parts[i + 1]).replace(';', ' ') + ")";
    QString selected = filters.isEmpty() ? QString() : filters.first();
    QString path =
        QFileDialog::getSaveFileName(MainWindow(), Q(title), Q(folder), filters.join(";;"),
                                     &selected, QFileDialog::DontUseNativeDialog);
    return T(path);
}

void QtFrontend::ShowMessageBox(TextView caption, TextView text) {
    QMessageBox::information(MainWindow(), Q(caption), Q(text), QMessageBox::Ok);
}

Text QtFrontend::ClipboardText() {
    return T(QGuiApplication::clipboard()->text());
}
