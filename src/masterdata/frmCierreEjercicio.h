#pragma once
// "Maestros > Cerrar ejercicio", behind the administrator password: shows
// whether a year is closed and up to which day, closes the books up to the
// day chosen (31/12 of last year proposed) after showing that year's income,
// expenses and balance, reopens them, and saves the papers for the assembly.
#include <QDate>
#include <QWidget>
#include <optional>

class QDateEdit;
class QLabel;
class QPushButton;

class frmCierreEjercicio : public QWidget
{
    Q_OBJECT
public:
    // The one window, made and brought up (the caller asked the password).
    static frmCierreEjercicio *open();

    QDateEdit *dtpFecha;
    QLabel *lblEstado;
    QLabel *lblTotales;
    QPushButton *cmdCerrar;
    QPushButton *cmdReabrir;
    QPushButton *cmdAsamblea;
    QPushButton *cmdSalir;

private:
    frmCierreEjercicio();
    // Reads the closing day again and shows it, and the totals of the day chosen.
    void refresh();
    void showTotals();
    void cmdCerrar_Click();
    void cmdReabrir_Click();

    std::optional<QDate> m_closing;
};

// Asks the fee of the year that ends on `closing` and the file, and saves
// the assembly's papers there as one PDF. Says what failed, if anything.
void SaveAssemblyPapers(const QDate &closing);
