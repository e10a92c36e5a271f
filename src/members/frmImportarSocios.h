#pragma once
// "Importar socios...": a class list the school sends as a spreadsheet, its
// columns chosen for the member's fields, what would be done with each row
// shown, and nothing written until "Importar".
#include "data/DelimitedText.h"
#include "members/MemberImport.h"

#include <QDialog>

class ColumnChooser;
class QCheckBox;
class QLabel;
class QPushButton;
class QTableWidget;

class frmImportarSocios : public QDialog
{
    Q_OBJECT
public:
    // Asks for the list's file, then shows the window over `owner` (nullptr:
    // the active window) until it closes. True when members were imported.
    static bool Import(QWidget *owner = nullptr);
    // The window while Import shows it, otherwise nullptr.
    static frmImportarSocios *current();
    // The files the open dialog offers.
    static QString fileFilter();

private:
    frmImportarSocios(const QString &path, DelimitedText text, MemberRoll roll, QWidget *parent);
    MemberImportSource source() const;
    void refresh();
    void cmdImportar_Click();

    QString m_path;
    DelimitedText m_text;
    MemberRoll m_roll; // as the window opened; the import reads it again
    MemberImportPlan m_plan;
    bool m_imported = false;

    QLabel *lblArchivo;
    ColumnChooser *chooser;
    QCheckBox *chkTitulos;
    QCheckBox *chkActualizar;
    QLabel *lblFilas;
    QTableWidget *grdFilas;
    QLabel *lblResumen;
    QPushButton *cmdImportar;
    QPushButton *cmdCancelar;
};
