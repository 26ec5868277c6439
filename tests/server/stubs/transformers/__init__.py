"""Stand-in: importable, nothing more."""
