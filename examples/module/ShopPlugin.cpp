// The module plug-in of 商品资料: registers the goods' record editor and puts the module's print
// template where the print window finds it.
#include <QFile>
#include <QObject>

#include "ShopGoodsEditor.h"
#include "core/ModulePlugin.h"
#include "print/uPrinterForm.h"

namespace Shop {

using namespace Qd::Core;

class TShopPlugin : public QObject, public Base::IQdModulePlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QdModulePlugin_iid)
    Q_INTERFACES(Qd::Core::Base::IQdModulePlugin)

public:
    QString moduleName() const override { return QStringLiteral("商品资料"); }

    void registerModules() override {
        Base::registerPropEditForm(
            QStringLiteral("SP"), [](QWidget* owner, const QString& code, int id, int p1, int p2,
                                     const QJsonObject& info, Db::DataSetState state) {
                auto* editor = new TGoodsPropEditForm(owner, code, id, p1, p2, info, state);
                editor->buildEditors();
                return editor;
            });
        // The template row (shop.sql) stores nothing yet: the print window starts from this file,
        // and stores what the user designs.
        const QString file = Fr4::TPrinterForm::templateFileName(
            QStringLiteral("SP"), QStringLiteral("01"), QStringLiteral("商品清单"));
        if (!QFile::exists(file))
            QFile::copy(QStringLiteral(":/shop/templates/SP_01_商品清单.fr3"), file);
    }
};

}  // namespace Shop

#include "ShopPlugin.moc"
