// The Qt model over a record set: structure signals, edits through the record set's cycle.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTableView>

#include "db/RecordSetModel.h"
#include "support/Rows.h"
#include "support/ScriptedPrompter.h"

using namespace Qd::Core::Db;

namespace {

class RecordSetModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        rs.addField("id", FieldType::Integer);
        rs.addField("name", FieldType::Text);
        rs.addField("amount", FieldType::Currency);
        rs.addField("done", FieldType::Boolean);
        rs.fieldDef(1).displayLabel = QStringLiteral("名称");
        rs.createDataSet();
        for (int i = 1; i <= 3; ++i) {
            Qd::Test::put(rs, &RecordSet::append,
                          {{"id", i},
                           {"name", QStringLiteral("客户%1").arg(i)},
                           {"amount", i * 100.25},
                           {"done", i == 2}});
        }
        rs.mergeChangeLog();
        rs.first();
    }

    // The displayed texts of a row, joined, so that an assertion is one line.
    QString rowText(int row) const {
        QStringList cells;
        for (int c = 0; c < model.columnCount(); ++c)
            cells << model.index(row, c).data().toString();
        return cells.join('|');
    }

    RecordSet rs;
    RecordSetModel model{&rs};
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

}  // namespace

TEST_F(RecordSetModelTest, ShowsFieldsAsColumnsWithLabelsAndTypedRoles) {
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.columnCount(), 4);
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("名称"));
    EXPECT_EQ(model.headerData(1, Qt::Horizontal, RecordSetModel::FieldNameRole), "name");
    EXPECT_EQ(rowText(0), QStringLiteral("1|客户1|100.25|"));
    EXPECT_EQ(model.index(1, 3).data(Qt::CheckStateRole).toInt(), Qt::Checked);
    EXPECT_EQ(model.index(0, 2).data(Qt::EditRole).toDouble(), 100.25);
    EXPECT_EQ(model.index(0, 2).data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight,
              Qt::AlignRight);
    EXPECT_TRUE(model.index(0, 0).data(RecordSetModel::IsCurrentRole).toBool());
}

TEST_F(RecordSetModelTest, StructuralChangesAreSignalledExactly) {
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QSignalSpy current(&model, &RecordSetModel::currentRowChanged);

    rs.append();
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted[0][1].toInt(), 3);
    rs.cancel();
    EXPECT_EQ(removed.count(), 1);

    rs.moveTo(1);
    EXPECT_EQ(current.last()[0].toInt(), 1);
    rs.deleteRecord();
    EXPECT_EQ(removed.count(), 2);
    EXPECT_EQ(removed[1][1].toInt(), 1);
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(reset.count(), 0);

    // Bulk work with controls disabled resets the views once.
    rs.disableControls();
    for (int i = 0; i < 5; ++i) {
        Qd::Test::put(rs, &RecordSet::append, {{"id", 10 + i}});
    }
    rs.enableControls();
    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(model.rowCount(), 7);
}

TEST_F(RecordSetModelTest, RowsAppendedAtOnceAreOneInsertAtTheEnd) {
    RecordSet packet;
    packet.addField("name", FieldType::Text);
    packet.addField("id", FieldType::Integer);
    packet.createDataSet();
    for (int i = 4; i <= 6; ++i) {
        Qd::Test::put(packet, &RecordSet::append,
                      {{"id", i}, {"name", QStringLiteral("客户%1").arg(i)}});
    }
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    rs.appendRows(packet, {packet.rowAt(0), packet.rowAt(1), packet.rowAt(2)});
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted[0][1].toInt(), 3);
    EXPECT_EQ(inserted[0][2].toInt(), 5);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(reset.count(), 0);
    EXPECT_EQ(model.rowCount(), 6);
    EXPECT_EQ(rowText(5), QStringLiteral("6|客户6||"));
    EXPECT_EQ(model.index(0, 0).data(RecordSetModel::IsCurrentRole).toBool(), true);
}

TEST_F(RecordSetModelTest, EditsGoThroughEditAndPostOnLeavingTheRow) {
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    ASSERT_TRUE(model.setData(model.index(2, 1), QStringLiteral("新名称")));
    EXPECT_EQ(rs.recNo(), 2);
    EXPECT_EQ(rs.state(), DataSetState::Edit);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(model.index(2, 0).data(RecordSetModel::RowStateRole).toInt(),
              int(DataSetState::Edit));
    EXPECT_EQ(rs.changeCount(), 0);

    ASSERT_TRUE(model.setData(model.index(0, 3), Qt::Checked, Qt::CheckStateRole));
    EXPECT_EQ(rs.changeCount(), 1);  // leaving row 2 posted it
    EXPECT_TRUE(model.submit());
    EXPECT_EQ(rs.changeCount(), 2);
    EXPECT_EQ(rowText(2), QStringLiteral("3|新名称|300.75|"));
    EXPECT_TRUE(rs.field("done").asBoolean());
}

TEST_F(RecordSetModelTest, RejectedValueIsReportedAndChangesNothing) {
    Qd::Test::ScriptedPrompter prompts;
    prompts.answer(Qd::Core::Ui::mrOk);
    EXPECT_FALSE(model.setData(model.index(0, 2), QStringLiteral("很多")));
    ASSERT_EQ(prompts.asked().size(), 1u);
    EXPECT_TRUE(prompts.last().text.contains("amount"));
    EXPECT_EQ(prompts.last().title, QStringLiteral("提示"));
    model.revert();
    EXPECT_EQ(rowText(0), QStringLiteral("1|客户1|100.25|"));

    rs.setReadOnly(true);
    EXPECT_FALSE(model.flags(model.index(0, 1)) & Qt::ItemIsEditable);
    EXPECT_FALSE(model.setData(model.index(0, 1), "x"));
}

TEST_F(RecordSetModelTest, ReloadingThroughSetDataResetsTheViewAndDestroyedSetIsForgotten) {
    QTableView view;
    view.setModel(&model);
    view.resize(400, 200);
    view.show();
    RecordSet packet;
    packet.addField("k", FieldType::Integer);
    for (int i = 0; i < 10; ++i)
        packet.setIntAt(packet.loadRow(), 0, i);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    rs.setData(std::move(packet));
    EXPECT_EQ(reset.count(), 1);  // closing, new rows and opening as one (each re-lays a grid)
    EXPECT_EQ(model.rowCount(), 10);
    EXPECT_EQ(model.columnCount(), 1);
    EXPECT_EQ(view.model()->index(9, 0).data().toString(), "9");

    auto temp = std::make_unique<RecordSet>();
    temp->addField("x", FieldType::Text);
    temp->createDataSet();
    RecordSetModel other(temp.get());
    temp.reset();
    EXPECT_EQ(other.recordSet(), nullptr);
    EXPECT_EQ(other.rowCount(), 0);
}
