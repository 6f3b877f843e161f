// The few connection-level calls the program makes through the other data
// access layer: a connection from a "Provider=...;Data Source=F;..." string and
// the list of the database's tables (the table schema).
#pragma once

#include <QString>
#include <vector>

namespace jet {

struct SchemaTable {
    QString name;   ///< TABLE_NAME
    QString type;   ///< TABLE_TYPE: "TABLE" or "SYSTEM TABLE"
};

class AdoConnection {
public:
    /// Opens the database named by "Data Source=" in the connection string;
    /// throws JetError when it is missing or unreadable.
    explicit AdoConnection(const QString& connectionString);
    const QString& dataSource() const { return source_; }
    /// The tables; typeFilter "" gives all, "TABLE" the user tables only.
    std::vector<SchemaTable> tables(const QString& typeFilter = QString()) const;

private:
    QString source_;
};

/// The value of one key of a "key=value;key=value" string, keys without case; "" when absent.
QString connectionValue(const QString& connectionString, const QString& key);

} // namespace jet
