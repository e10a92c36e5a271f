#pragma once
// The member list: finds members by name, pupil, number and course, and starts
// the member operations from the current row. Opened from the menu it is a
// child window of the main window (a new one per click); through SelectSocio
// the shared instance serves as a modal picker.
#include <QAbstractTableModel>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class DataCombo;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

// The rows of one search, as read: per row the member number, the offsets of
// its Nombre, Alumno and Telefono in one block of UTF-8 text, and its course as
// a position in the list of course names (-1 for none). Nothing per cell is
// allocated, so a list of a whole roll is read at once and costs little memory.
struct SocioTable
{
    struct Row
    {
        qint64 idSocio = 0;
        qint32 curso = -1;
        quint32 offset[3] = {};
        quint32 length[3] = {};
    };
    std::vector<Row> rows;
    std::string text;
    QStringList cursos;
};

// The grid's rows: read-only, five columns headed by their field names
// (IDSocio, Nombre, Alumno, Telefono, Curso), alternate rows white and light blue.
class SocioListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setTable(SocioTable table);
    qint64 idSocio(int row) const { return m_table.rows[size_t(row)].idSocio; }
    QString cell(int row, int column) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    SocioTable m_table;
};

class frmSocio : public QWidget
{
    Q_OBJECT
public:
    explicit frmSocio(QWidget *parent = nullptr);
    ~frmSocio() override;

    // Window load: centres the window, fills the course list and the member list.
    void Form_Load();

    // Shows the shared instance as a modal picker over `owner` (nullptr: the
    // active window) and returns the IDSocio the user chose; 0 when the picker
    // was closed or the list was empty. The instance's tag text holds the same
    // number while it is open.
    static qint64 SelectSocio(QWidget *owner = nullptr);
    // The shared instance while a picker is open, otherwise nullptr.
    static frmSocio *sharedInstance();

    // "&Cobrar Cuota" calls this with the list and the current row's IDSocio
    // (set by the fee collection; nothing happens while it is empty).
    static std::function<void(frmSocio &list, qint64 idSocio)> CobrarCuota;

    // The window that frames the list: its subwindow inside the main window,
    // or the list itself when it stands alone.
    QWidget *frame();
    // The IDSocio of the grid's current row; nothing without a current row.
    std::optional<qint64> currentIDSocio() const;
    const SocioListModel &rows() const { return *m_model; }
    QSize sizeHint() const override;

signals:
    void hidden();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void FillSocioGrid();
    void cmdBuscar_Click();
    void cmdNuevoS_Click();
    void cmdEdit_Click();
    void cmdDelete_Click();
    void cmdCobrar_Click();
    void cmdSelect_Click();
    QPushButton *defaultButton() const;

    QLabel *lblApellido;
    QLineEdit *txtSocioNumero;
    QLineEdit *txtSocioNombre;
    QLabel *Label1;
    QLineEdit *txtAlumno;
    QLabel *lblComprobante;
    DataCombo *datcboCurso;
    QPushButton *cmdBuscar;
    QTableView *tdbgrdComodidadUtilizada;
    QPushButton *cmdNuevoS;
    QPushButton *cmdEdit;
    QPushButton *cmdDelete;
    QPushButton *cmdCobrar;
    QPushButton *cmdSelect;

    SocioListModel *m_model;
    bool m_picker = false;
    QString m_tag; // the picker's choice: "" until "Seleccionar!"
};

// The member picker (see frmSocio::SelectSocio).
qint64 SelectSocio(QWidget *owner = nullptr);
