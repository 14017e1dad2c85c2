#!/usr/bin/env bash
# Reading a plate list: sourced by batch.sh, batch_plate.sh, batch_summary.sh and batch.slurm.
#
# A plate list is a CSV: a header naming its columns, then one plate per line. The columns are
# read by name, in any order: image, rows, cols and out are required; script names a recorded
# session to replay, and a plate without one (no column, or an empty cell) runs with --auto:
# its seedlings and threshold found, every image accepted. interval, times, layout, px-per-mm,
# dpi, seed, growth, imagefile and cot give the option of that name; base, trace, refine,
# detect and bright are flags and take yes or no (an empty cell is no; detect is what --auto
# does anyway, and StemScan refuses it beside a script). An empty cell leaves its option out. Fields hold no commas. Blank lines, a byte-order mark (as spreadsheets write
# "CSV UTF-8") and Windows line ends are fine. Nothing read from a list ever reaches a shell as
# code: every value is passed to StemScan as one argument.

PLATE_REQUIRED=(image rows cols out)
PLATE_VALUES=(interval times layout px-per-mm dpi seed growth imagefile cot)
PLATE_FLAGS=(base trace refine detect bright)

# Fills PLATE_COLUMNS (the header's names), PLATE_LINES (each plate's line) and
# PLATE_LINE_NUMBERS (where each stands in the file); says why and returns 1 when the list
# cannot be used.
plate_list_load() {
  local list=$1 line number=0 header=1
  PLATE_COLUMNS=()
  PLATE_LINES=()
  PLATE_LINE_NUMBERS=()
  if [ ! -f "$list" ] || [ ! -r "$list" ]; then
    echo "no plate list $list" >&2
    return 1
  fi
  while IFS= read -r line || [ -n "$line" ]; do
    number=$((number + 1))
    line=${line%$'\r'}
    [ "$number" -eq 1 ] && line=${line#$'\xef\xbb\xbf'}
    [[ $line =~ ^[[:space:]]*$ ]] && continue
    if [ "$header" -eq 1 ]; then
      header=0
      plate_split "$line"
      PLATE_COLUMNS=("${PLATE_FIELDS[@]}")
      continue
    fi
    PLATE_LINES+=("$line")
    PLATE_LINE_NUMBERS+=("$number")
  done <"$list"
  local column
  for column in "${PLATE_REQUIRED[@]}"; do
    if ! plate_has_column "$column"; then
      echo "$list: the header has no column $column (it needs ${PLATE_REQUIRED[*]})" >&2
      return 1
    fi
  done
  if [ "${#PLATE_LINES[@]}" -eq 0 ]; then
    echo "$list lists no plate" >&2
    return 1
  fi
  return 0
}

# Splits a line at its commas into PLATE_FIELDS, each field trimmed of blanks.
plate_split() {
  local field
  local -a fields
  PLATE_FIELDS=()
  IFS=, read -r -a fields <<<"$1,"
  for field in "${fields[@]}"; do
    field=${field#"${field%%[![:space:]]*}"}
    field=${field%"${field##*[![:space:]]}"}
    PLATE_FIELDS+=("$field")
  done
}

plate_has_column() {
  local name
  for name in "${PLATE_COLUMNS[@]}"; do [ "$name" = "$1" ] && return 0; done
  return 1
}

# Fills the associative array PLATE with the fields of plate K (from 1) by column name.
plate_select() {
  local k=$1 i
  unset PLATE
  declare -g -A PLATE=()
  plate_split "${PLATE_LINES[$((k - 1))]}"
  for i in "${!PLATE_COLUMNS[@]}"; do PLATE[${PLATE_COLUMNS[$i]}]=${PLATE_FIELDS[$i]:-}; done
}

# The out names of all plates, one a line, in order.
plate_outs() {
  local k
  for k in $(seq "${#PLATE_LINES[@]}"); do
    plate_select "$k"
    printf '%s\n' "${PLATE[out]}"
  done
}

# Refuses a list in which two plates write the same tables; says which lines.
plate_list_check_outs() {
  local list=$1 j k
  local -a outs
  mapfile -t outs < <(plate_outs)
  for j in "${!outs[@]}"; do
    for ((k = j + 1; k < ${#outs[@]}; k++)); do
      if [ "${outs[$j]}" = "${outs[$k]}" ]; then
        echo "$list: lines ${PLATE_LINE_NUMBERS[$j]} and ${PLATE_LINE_NUMBERS[$k]} both write" \
          "out ${outs[$j]}: give each plate its own out" >&2
        return 1
      fi
    done
  done
  return 0
}

# Fills PLATE_ARGS with StemScan's arguments for the selected plate; says why and returns 1
# when a field cannot be used.
plate_arguments() {
  local where=$1 column value known name
  PLATE_ARGS=("${PLATE[image]}" "${PLATE[rows]}" "${PLATE[cols]}" "${PLATE[out]}")
  for column in "${PLATE_REQUIRED[@]}"; do
    if [ -z "${PLATE[$column]:-}" ]; then
      echo "$where: no $column" >&2
      return 1
    fi
  done
  local script=${PLATE[script]:-}
  if [ -n "$script" ]; then
    PLATE_ARGS+=("--script=$script")
  else
    PLATE_ARGS+=(--auto)
  fi
  for column in "${PLATE_COLUMNS[@]}"; do
    value=${PLATE[$column]:-}
    known=0
    for name in "${PLATE_REQUIRED[@]}" script; do [ "$name" = "$column" ] && known=1; done
    [ "$known" -eq 1 ] && continue
    # Without a script the run is --auto, which detects already.
    [ "$column" = detect ] && [ -z "$script" ] && continue
    for name in "${PLATE_FLAGS[@]}"; do
      [ "$name" = "$column" ] || continue
      known=1
      case ${value,,} in
        yes) PLATE_ARGS+=("--$column") ;;
        no | "") ;;
        *)
          echo "$where: the column $column takes yes or no, not $value" >&2
          return 1
          ;;
      esac
    done
    for name in "${PLATE_VALUES[@]}"; do
      [ "$name" = "$column" ] || continue
      known=1
      [ -z "$value" ] && continue
      case $column in
        imagefile | cot) PLATE_ARGS+=("$column=$value") ;;
        *) PLATE_ARGS+=("--$column=$value") ;;
      esac
    done
    [ "$known" -eq 1 ] || [ -z "$column" ] || echo "$where: column $column is not an option of" \
      "StemScan; left out" >&2
  done
  return 0
}

# Where the user finds a file of a plate: `path` is relative to the list's folder `dir`.
plate_path() {
  local dir=$1 path=$2
  case $path in
    /*) printf '%s\n' "$path" ;;
    *) [ "$dir" = "." ] && printf '%s\n' "$path" || printf '%s\n' "$dir/$path" ;;
  esac
}
