set output 'Timing3.svg
set terminal svg
set multiplot
set grid
set title "Clients end date"
set xlabel "audio cycles"
set ylabel "usec"
plot "/tmp/live_probe_cm4q_vw5/prof.log" using 1 title "Audio period" with lines, "/tmp/live_probe_cm4q_vw5/prof.log" using 8 title "parec/48" with lines, "/tmp/live_probe_cm4q_vw5/prof.log" using 16 title "paplay/49" with lines
unset multiplot
unset output
