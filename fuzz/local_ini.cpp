// Reads arbitrary bytes as the database description "Local.Ini": the model list, the panel
// kinds of each model and every panel's coordinates and databases, as the selection and the
// block definition read them. Any input must end in a description or in a refusal.
#include "core/db/description.h"
#include "fuzzsupport.h"

namespace {

// A hostile file may list many models; the first few show every path through the reader.
constexpr int kModelsRead = 4;

void readModel(const QString& file, const QString& model)
{
    verola::ModelPanelKinds(file, model);
    for (const QString& kind : verola::panelKinds()) {
        verola::TPanelInfoStruct info;
        verola::LoadPanelInfo(info, file, kind, model);
        for (const verola::TCoordItem& item : info.CoordItems)
            verola::IndexOfCoord(info, item.NameCoord);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const QString file = verola::fuzz::scratchFile(verola::kDescriptionFile);
    verola::fuzz::writeFile(file, data, size);
    verola::fuzz::refusalsAllowed([&] {
        QStringList models;
        verola::ListModels(file, models);
        for (int m = 0; m < models.size() && m < kModelsRead; ++m) {
            readModel(file, models.at(m));
            verola::FindModel(file, models.at(m).left(3));
        }
        for (const QString& kind : verola::panelKinds()) {
            verola::TCoordItemList editList;
            verola::DefaultCoordItems(file, kind, editList);
        }
        for (int block = 0; block < 5; ++block)
            verola::PanelKindName(file, block);
    });
    return 0;
}
