#include "storage/Schema.h"

namespace {
// Steps written in SQL both engines read alike.

// The sender's own id of a message: a message sent again after a lost echo is found by it.
const QString clientIdStep = QStringLiteral(R"(
ALTER TABLE messages ADD COLUMN client_id TEXT;
CREATE UNIQUE INDEX messages_client ON messages(sender, client_id);
)");

// What a recalled message leaves behind, so that a stale copy sent again under its client id is not
// stored anew.
const QString recalledStep = QStringLiteral(R"(
CREATE TABLE recalled_messages(sender TEXT NOT NULL, client_id TEXT NOT NULL, id TEXT NOT NULL, room TEXT NOT NULL,
  to_id TEXT, gid TEXT, PRIMARY KEY(sender, client_id));
)");
} // namespace

const QStringList &Schema::sqliteSteps()
{
    static const QStringList steps = {
        QStringLiteral(R"(
CREATE TABLE users(id TEXT PRIMARY KEY, username TEXT NOT NULL UNIQUE COLLATE NOCASE,
  password_hash TEXT NOT NULL, avatar TEXT, role TEXT NOT NULL DEFAULT 'user',
  banned INTEGER NOT NULL DEFAULT 0, created_at INTEGER NOT NULL);
CREATE TABLE sessions(token_hash TEXT PRIMARY KEY, user_id TEXT NOT NULL REFERENCES users(id) ON DELETE CASCADE,
  created_at INTEGER NOT NULL);
CREATE INDEX sessions_user ON sessions(user_id);
CREATE TABLE settings(key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE messages(seq INTEGER PRIMARY KEY AUTOINCREMENT, id TEXT NOT NULL UNIQUE, room TEXT NOT NULL,
  sender TEXT NOT NULL, content TEXT NOT NULL, images TEXT, time INTEGER NOT NULL, to_id TEXT, gid TEXT);
CREATE INDEX messages_room ON messages(room, seq);
CREATE TABLE friendships(user_a TEXT NOT NULL, user_b TEXT NOT NULL, created_at INTEGER NOT NULL,
  PRIMARY KEY(user_a, user_b));
CREATE INDEX friendships_b ON friendships(user_b);
CREATE TABLE friend_requests(id TEXT PRIMARY KEY, from_id TEXT NOT NULL, to_id TEXT NOT NULL,
  time INTEGER NOT NULL, UNIQUE(from_id, to_id));
CREATE TABLE chat_groups(id TEXT PRIMARY KEY, name TEXT NOT NULL, owner TEXT NOT NULL, avatar TEXT,
  created_at INTEGER NOT NULL);
CREATE TABLE group_members(gid TEXT NOT NULL REFERENCES chat_groups(id) ON DELETE CASCADE,
  user_id TEXT NOT NULL, UNIQUE(gid, user_id));
CREATE INDEX group_members_user ON group_members(user_id);
CREATE TABLE group_applications(id TEXT PRIMARY KEY, gid TEXT NOT NULL REFERENCES chat_groups(id) ON DELETE CASCADE,
  from_id TEXT NOT NULL, time INTEGER NOT NULL, UNIQUE(gid, from_id));
CREATE TABLE moments(id TEXT PRIMARY KEY, author TEXT NOT NULL, text TEXT NOT NULL, images TEXT,
  time INTEGER NOT NULL);
CREATE TABLE moment_likes(mid TEXT NOT NULL REFERENCES moments(id) ON DELETE CASCADE, user_id TEXT NOT NULL,
  UNIQUE(mid, user_id));
CREATE TABLE moment_comments(mid TEXT NOT NULL REFERENCES moments(id) ON DELETE CASCADE, author TEXT NOT NULL,
  text TEXT NOT NULL, time INTEGER NOT NULL);
CREATE INDEX moment_comments_mid ON moment_comments(mid);
)"),
        QStringLiteral(R"(
CREATE TABLE login_failures(key TEXT NOT NULL, time INTEGER NOT NULL);
CREATE INDEX login_failures_key ON login_failures(key, time);
CREATE INDEX login_failures_time ON login_failures(time);
)"),
        clientIdStep,
        recalledStep,
    };
    return steps;
}

// Tables the stores read in insertion order declare a "rowid" identity, the name SQLite gives its
// implicit one, so that one query text serves both engines.
const QStringList &Schema::postgresSteps()
{
    static const QStringList steps = {
        QStringLiteral(R"(
CREATE TABLE users(id TEXT PRIMARY KEY, username TEXT NOT NULL, password_hash TEXT NOT NULL, avatar TEXT,
  role TEXT NOT NULL DEFAULT 'user', banned INTEGER NOT NULL DEFAULT 0, created_at BIGINT NOT NULL);
CREATE UNIQUE INDEX users_name ON users(lower(username));
CREATE TABLE sessions(rowid BIGINT GENERATED ALWAYS AS IDENTITY, token_hash TEXT PRIMARY KEY,
  user_id TEXT NOT NULL REFERENCES users(id) ON DELETE CASCADE, created_at BIGINT NOT NULL);
CREATE INDEX sessions_user ON sessions(user_id);
CREATE TABLE settings(key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE messages(seq BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY, id TEXT NOT NULL UNIQUE,
  room TEXT NOT NULL, sender TEXT NOT NULL, content TEXT NOT NULL, images TEXT, time BIGINT NOT NULL,
  to_id TEXT, gid TEXT);
CREATE INDEX messages_room ON messages(room, seq);
CREATE TABLE friendships(user_a TEXT NOT NULL, user_b TEXT NOT NULL, created_at BIGINT NOT NULL,
  PRIMARY KEY(user_a, user_b));
CREATE INDEX friendships_b ON friendships(user_b);
CREATE TABLE friend_requests(id TEXT PRIMARY KEY, from_id TEXT NOT NULL, to_id TEXT NOT NULL,
  time BIGINT NOT NULL, UNIQUE(from_id, to_id));
CREATE TABLE chat_groups(id TEXT PRIMARY KEY, name TEXT NOT NULL, owner TEXT NOT NULL, avatar TEXT,
  created_at BIGINT NOT NULL);
CREATE TABLE group_members(rowid BIGINT GENERATED ALWAYS AS IDENTITY,
  gid TEXT NOT NULL REFERENCES chat_groups(id) ON DELETE CASCADE, user_id TEXT NOT NULL, UNIQUE(gid, user_id));
CREATE INDEX group_members_user ON group_members(user_id);
CREATE TABLE group_applications(id TEXT PRIMARY KEY, gid TEXT NOT NULL REFERENCES chat_groups(id) ON DELETE CASCADE,
  from_id TEXT NOT NULL, time BIGINT NOT NULL, UNIQUE(gid, from_id));
CREATE TABLE moments(rowid BIGINT GENERATED ALWAYS AS IDENTITY, id TEXT PRIMARY KEY, author TEXT NOT NULL,
  text TEXT NOT NULL, images TEXT, time BIGINT NOT NULL);
CREATE TABLE moment_likes(rowid BIGINT GENERATED ALWAYS AS IDENTITY,
  mid TEXT NOT NULL REFERENCES moments(id) ON DELETE CASCADE, user_id TEXT NOT NULL, UNIQUE(mid, user_id));
CREATE TABLE moment_comments(rowid BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  mid TEXT NOT NULL REFERENCES moments(id) ON DELETE CASCADE, author TEXT NOT NULL, text TEXT NOT NULL,
  time BIGINT NOT NULL);
CREATE INDEX moment_comments_mid ON moment_comments(mid);
)"),
        // Uploads live in the database too, so that any node serves what another one received; events
        // carry what one node sends to the connections of the others; nodes and presence say who is
        // online on which live node.
        QStringLiteral(R"(
CREATE TABLE events(seq BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY, node TEXT NOT NULL, kind INTEGER NOT NULL,
  targets TEXT NOT NULL, payload TEXT NOT NULL, created_at BIGINT NOT NULL);
CREATE INDEX events_created ON events(created_at);
CREATE TABLE nodes(id TEXT PRIMARY KEY, seen_at BIGINT NOT NULL);
CREATE TABLE presence(node TEXT NOT NULL REFERENCES nodes(id) ON DELETE CASCADE, user_id TEXT NOT NULL,
  since BIGINT NOT NULL, PRIMARY KEY(node, user_id));
CREATE INDEX presence_user ON presence(user_id);
CREATE TABLE login_failures(key TEXT NOT NULL, time BIGINT NOT NULL);
CREATE INDEX login_failures_key ON login_failures(key, time);
CREATE INDEX login_failures_time ON login_failures(time);
CREATE TABLE images(name TEXT PRIMARY KEY, bytes BYTEA NOT NULL);
)"),
        clientIdStep,
        recalledStep,
    };
    return steps;
}
