! Writes the files whose byte layout the file-unit tests check: an
! unformatted sequential file, formatted and unformatted direct-access files
! and an unformatted stream file.  Run by tools/make_format_cases.sh.
program fixtures
  implicit none
  integer :: i, values(100)

  values = [(i, i = 1, 100)]
  open(10, file='unformatted_sequential.bin', form='unformatted', access='sequential', status='replace')
  write(10) 7, 2.5, -1.25d0, 'LABEL   '
  write(10)
  write(10) values
  write(10) 'A'
  close(10)

  open(11, file='direct_formatted.txt', form='formatted', access='direct', recl=12, status='replace')
  write(11, '(A)', rec=2) 'second'
  write(11, '(I3,F8.3)', rec=1) 7, 1.5d0
  write(11, '(A)', rec=3) 'third record'
  close(11)

  open(12, file='direct_unformatted.bin', form='unformatted', access='direct', recl=8, status='replace')
  write(12, rec=2) 3
  write(12, rec=1) 1.5d0
  close(12)

  open(13, file='stream.bin', form='unformatted', access='stream', status='replace')
  write(13) 'IAS', 97, 121, 2.5d0
  close(13)
end program fixtures
