#pragma once
// "Importar extracto bancario": the lines of a bank's file beside the books'
// bank movements. The user chooses how the file is read (remembered for the
// next one), sees what each line will do, gives an account to the lines that
// become new movements, and only "Aceptar" writes, all at once.
#include "treasury/BankStatement.h"
#include "treasury/TreasuryWindow.h"

#include <QAbstractTableModel>
#include <QHash>

class ColumnChooser;
class DataCombo;
class QCheckBox;
class QComboBox;
class QLabel;
class QTableView;

// The statement's lines as a table: line, date, description, amount, what
// the line does, and the account of a new movement.
class StatementModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit StatementModel(QObject *parent = nullptr) : QAbstractTableModel(parent) {}
    void setStatement(const Statement *statement, QHash<qint64, QString> accounts);
    // Line `row` changed (its account or whether it is made a movement).
    void lineChanged(int row);
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    const Statement *m_statement = nullptr;
    QHash<qint64, QString> m_accounts;
};

class frmExtracto : public TreasuryWindow
{
    Q_OBJECT
public:
    // Asks for the file and opens the window on it; nothing when cancelled.
    static frmExtracto *openChosenFile();
    // The window on a file, already read (the tests and the manual open it so).
    static frmExtracto *openFile(const QString &path);

    const Statement &statement() const { return m_statement; }

private:
    explicit frmExtracto(const QString &path);
    bool load(); // false, after saying why, when the file cannot be read
    void proposeFormat();
    StatementFormat chosenFormat() const;
    void showFormat(const StatementFormat &format);
    void reread();
    void showSummary();
    void lineSelected();
    void accountChosenForLine();
    void createToggled(bool on);
    void cmdOk_Click();

    QString m_path;
    QString m_text; // the file's text, split again when the separator changes
    QList<QStringList> m_rows;
    Statement m_statement;
    QHash<qint64, QString> m_accountNames;
    bool m_showing = false;
    QString m_accountKind; // the kind of account the list offers: "I" or "E"

    QLabel *lblArchivo;
    QComboBox *cboSeparador;
    QComboBox *cboDecimal;
    QComboBox *cboOrdenFecha;
    ColumnChooser *columns;
    QTableView *grdLineas;
    StatementModel *m_model;
    DataCombo *datcboCuenta;
    QCheckBox *chkCrear;
    QLabel *lblResumen;
    QLabel *lblSaldos;
};
