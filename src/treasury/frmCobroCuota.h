#pragma once
// The fee window: records that one member paid one fee, as one cash income
// movement, refuses a second payment of the same fee by the same member, and
// prints a receipt with the member's payment history.
#include "treasury/TreasuryWindow.h"

class DataCombo;
class QCheckBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class frmSocio;

class frmCobroCuota : public TreasuryWindow
{
    Q_OBJECT
public:
    explicit frmCobroCuota(QWidget *parent = nullptr);

    // The menu's one window, created (empty) when none is open.
    static frmCobroCuota *shared();
    // A new window beside the member list, with the list's member loaded.
    static frmCobroCuota *openFromList(frmSocio &list, qint64 idSocio);

    // Looks up the member typed in txtSocioNumero, as when the box loses focus.
    void txtSocioNumero_LostFocus();
    qint64 socioNumero() const { return m_socio; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void enterPressed() override;

private:
    void LoadSocio(qint64 numero);
    void cmdBuscarSocio_Click();
    void datcboCurso_Change();
    void cmdOk_Click();
    // The refusals checked before the confirmation; true when the input may go on.
    bool inputAccepted();

    QLineEdit *txtSocioNumero;
    QPushButton *cmdBuscarSocio;
    QLabel *lblSocioNombre;
    DataCombo *datcboCurso;
    QLineEdit *txtImporte;
    QDateTimeEdit *calFechaOperacion;
    QCheckBox *chkRecibo;

    qint64 m_socio = 0;
};
