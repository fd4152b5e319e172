set output 'Timing4.svg
set terminal svg
set multiplot
set grid
set title "Clients scheduling latency"
set xlabel "audio cycles"
set ylabel "usec"
plot "/tmp/live_probe_cm4q_vw5/prof.log" using 9 title "parec/48" with lines, "/tmp/live_probe_cm4q_vw5/prof.log" using 17 title "paplay/49" with lines
unset multiplot
unset output
