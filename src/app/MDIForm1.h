#pragma once
// The main window: the menu from which every screen is opened, the area that
// holds the member lists, and the status bar with both balances.
#include <QMainWindow>
#include <QPointer>
#include <optional>

class QAction;
class QLabel;
class QMdiArea;
class QMenu;
class Report;
enum class PreviewMode;

class MDIForm1 : public QMainWindow
{
    Q_OBJECT
public:
    // The one main window, created (hidden) on first use.
    static MDIForm1 *instance();
    // The main window if it exists, otherwise nullptr.
    static MDIForm1 *existing();

    QMdiArea *mdiArea() const { return m_mdi; }
    // The menu item of that name ("mnuSocio", "mnuPagocuota", ...).
    QAction *menuItem(const QString &name) const;

    // Status bar panels by position, 1 and 2.
    QString panelText(int position) const;
    void setPanelText(int position, const QString &text);

    // Makes the balances follow what other programs write on the shared
    // connection; again after the connection was opened anew.
    void followChanges();

    // Opens a new table-editor window on the table.
    void OpenGrilla(const QString &table);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    MDIForm1();
    QAction *addItem(QMenu *menu, const char *name, const QString &caption,
                     void (MDIForm1::*handler)() = nullptr);
    void addSeparator(QMenu *menu, const char *name);
    void showShared(QWidget *window);
    void showReport(Report &report, PreviewMode mode);

    // Menu handlers.
    void mnuSocio_Click();
    void mnuImportarSocios_Click();
    void mnucurso_Click();
    void mnucuota_Click();
    void mnuCuentas_Click();
    void mnuParam_Click();
    void mnuMovis_Click();
    void mnuCierre_Click();
    void mnuPagocuota_Click();
    void mnuIngreso_Click();
    void mnuPago_Click();
    void mnoCajaABanco_Click();
    void mnuBcoCaja_Click();
    void mnuExtracto_Click();
    void mnuBalance_Click();
    void mnuLibroSocios_Click();
    void mnuEstado_Click();
    void mnuCuotaImpaga_Click();
    void mnuAsamblea_Click();
    void mnulibroex_Click();
    void mnuBalanceEx_Click();
    void mnuCuotaImpagaEx_Click();
    void mnuCambios_Click();
    void mnuCambiosEx_Click();
    void mnuHelp1_Click();
    void mnuAbout_Click();

    QMdiArea *m_mdi;
    QLabel *m_panels[2];
    QPointer<QObject> m_watch;
    std::optional<quint64> m_watchSerial; // the connection the watch was asked for
};

// Writes both balances into the main window's status bar (creating the window).
// Connected to the ledger's changes; the start-up calls it once.
void RefreshSaldos();
