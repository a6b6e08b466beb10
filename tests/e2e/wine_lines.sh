# Sourced by the shell tests that start Wine themselves. Wine writes its own diagnostic lines
# (thread id, class, channel: "0044:err:winediag:...") to the Unix standard error it was started
# with, which is where these tests catch the tool's standard error, or the terminal. Those lines
# are Wine's, not the tool's: they are set aside before a comparison and shown if a test fails.
wine_line='^[0-9a-f]{4,}:(err|warn|fixme|trace):'

# Moves Wine's lines out of FILE (the rest stays byte for byte) and adds them to FILE.wine.
set_wine_lines_aside() {
  LC_ALL=C grep -aE "$wine_line" "$1" >>"$1.wine" || true
  LC_ALL=C sed -E "/$wine_line/d" "$1" >"$1.tool" && mv "$1.tool" "$1"
}

# Prints the lines set aside from each FILE given, if any.
show_wine_lines() {
  for file; do
    if [ -s "$file.wine" ]; then
      echo "Wine's own lines (not compared) in $(basename "$file"):"
      cat "$file.wine"
    fi
  done
}
