#include "network_port_dialog.h"

#include "link/network_port.h"
#include "messages/connection_texts.h"
#include "messages/messages.h"

#include <QInputDialog>

namespace pmv::gui {

std::optional<std::string> AskNetworkPort(QWidget* parent, Messages& messages, const std::string& current)
{
    std::string text = current.empty() ? "tcp://" : current;
    for (;;) {
        QInputDialog dialog(parent);
        dialog.setObjectName("NetworkPortDialog");
        dialog.setWindowTitle(QString::fromUtf8(kNetworkPortEntry));
        dialog.setLabelText(
            QString::fromUtf8("Линия за сервером последовательных портов в сети:\n"
                              "tcp://УЗЕЛ:ПОРТ - сервер в режиме «TCP server», скорость задана на нём;\n"
                              "rfc2217://УЗЕЛ:ПОРТ - скорость задаётся с компьютера (RFC 2217)."));
        dialog.setTextValue(QString::fromStdString(text));
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        text = dialog.textValue().trimmed().toStdString();
        link::NetworkNameProblem problem = link::NetworkNameProblem::None;
        if (const auto port = link::ParseNetworkPort(text, &problem))
            return link::NetworkPortName(*port);
        messages.ShowMessage(Text(LinkNotice::NetworkNameInvalid, {text, link::NetworkNameProblemText(problem)}),
                             Text(LinkNotice::ErrorCaption), MessageIcon::Warning);
    }
}

}  // namespace pmv::gui
