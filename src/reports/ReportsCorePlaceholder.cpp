// Replaced by the report and compaction sources.
