// Field type codes and a column description, shared by the engine and its drivers.
// The numbers are the engine's field type codes as callers test them: persisted
// in callers' logic, do not renumber.
#pragma once

#include <QString>
#include <vector>

namespace jet {

enum FieldType : int {
    dbBoolean = 1,
    dbByte = 2,
    dbInteger = 3,
    dbLong = 4,
    dbCurrency = 5,
    dbSingle = 6,
    dbDouble = 7,
    dbDate = 8,
    dbBinary = 9,
    dbText = 10,
    dbLongBinary = 11,
    dbMemo = 12,
    dbGUID = 15,
};

/// Field attribute bits.
enum FieldAttribute : int {
    dbFixedField = 1,
    dbVariableField = 2,
    dbAutoIncrField = 16,
    dbUpdatableField = 32,
};

struct ColumnInfo {
    QString name;
    int type = dbText;   ///< FieldType
    int size = 255;      ///< characters for dbText, bytes otherwise (0 for memo)
    int attributes = 0;  ///< FieldAttribute bits
};

using ColumnList = std::vector<ColumnInfo>;

} // namespace jet
